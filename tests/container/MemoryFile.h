#pragma once

#include <cstdint>
#include <vector>

namespace containertest {

// Bytes in memory behind the callbacks of a ByteIOContext: read, written and
// sought like a file (the size query answered), counting the calls made.
struct MemoryFile {
    std::vector<uint8_t> bytes;
    int64_t pos = 0;
    int reads = 0, seeks = 0, largestRead = 0;
    int failWith = 0;  // when not 0, reads and writes return it

    static int read(void* opaque, uint8_t* buf, int size);
    static int write(void* opaque, uint8_t* buf, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
};

}  // namespace containertest
