#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ProbePackets.h"
#include "container/avidec.h"

namespace containertest {

// One AVI file opened for reading with our reader; closed on destruction.
class AviFile {
public:
    AviFile() = default;
    ~AviFile();
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    // url_fopen + avi_read_header: the header's result, or the open error.
    int open(const std::string& path);
    // Same over bytes in memory (the stream keeps them), backwards
    // on `slot` when it is 0 or more.
    int openMemory(std::vector<uint8_t> bytes, int slot = -1);
    // url_fopen + avi_read_header_backward on slot; readOne then reads
    // backwards on that slot.
    int openBackward(const std::string& path, int slot);

    // Reads packets (data left in packet()) until a negative result, which goes to *end when given.
    std::vector<ProbePacket> readAll(int* end = nullptr, size_t limit = SIZE_MAX);
    int readOne(ProbePacket* out);

    container::AVFormatContext* ctx() { return &ctx_; }
    container::AVIContext* avi() { return &avi_; }
    container::AVPacket* packet() { return &pkt_; }

private:
    void close();
    int openFile(const std::string& path, bool backward, int slot);
    int readHeader();
    container::AVFormatContext ctx_{};
    container::AVIContext avi_{};
    container::AVPacket pkt_{};
    bool memory_ = false;  // opened on bytes in memory
    bool opened_ = false;
    bool backward_ = false;
    int slot_ = 0;
};

// A read stream over bytes in memory that seeks and answers its size like a
// file does; closeMemoryStream releases it with the bytes.
container::ByteIOContext* openMemoryStream(std::vector<uint8_t> bytes);
void closeMemoryStream(container::ByteIOContext* pb);

}  // namespace containertest
