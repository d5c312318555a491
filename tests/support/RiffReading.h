#pragma once

// Reading the bytes of RIFF files in tests: little-endian fields and the
// chunk tree, over a whole file in a string or a byte vector.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

// Bytes of a string, a byte vector or a C string, not owned.
struct ByteSpan {
    ByteSpan(const std::string& s)
        : data(reinterpret_cast<const uint8_t*>(s.data())), size(s.size()) {}
    ByteSpan(const std::vector<uint8_t>& v) : data(v.data()), size(v.size()) {}
    ByteSpan(const char* s) : data(reinterpret_cast<const uint8_t*>(s)), size(std::strlen(s)) {}
    const uint8_t* data;
    size_t size;
};

// Little-endian unsigned field of `width` bytes (1 to 8) at `at`; 0 when it
// runs past the end.
uint64_t le(ByteSpan d, size_t at, int width);
inline uint16_t le16(ByteSpan d, size_t at) {
    return static_cast<uint16_t>(le(d, at, 2));
}
inline uint32_t le32(ByteSpan d, size_t at) {
    return static_cast<uint32_t>(le(d, at, 4));
}
inline uint64_t le64(ByteSpan d, size_t at) {
    return le(d, at, 8);
}

struct RiffChunk {
    std::string tag;  // fourcc, or the list type for "LIST" / "RIFF"
    bool list = false;
    size_t pos = 0;  // position of the chunk header
    uint32_t size = 0;
};

// Every chunk and list in file order, walking into lists but not into
// "movi"; with a tag, only those so tagged.
std::vector<RiffChunk> riffChunks(ByteSpan d, const std::string& tag = {});

}  // namespace testsupport
