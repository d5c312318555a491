#pragma once

// One FLV file opened with our reader, from a path or bytes in memory,
// forwards or (given a slot) backwards; closed on destruction.
#include "AviFile.h"
#include "container/flvdec.h"

namespace containertest {

class FlvFile {
public:
    ~FlvFile() {
        container::flv_read_close(&ctx_);
        container::avformat_free_context_flv(&ctx_);
        memory_ ? closeMemoryStream(ctx_.pb) : (void)container::url_fclose(ctx_.pb);
        container::av_destruct_packet(&pkt_);
    }
    // The header's result, or the open error.
    int open(const std::string& path, int slot = -1) {
        return container::url_fopen(&ctx_.pb, path.c_str(), 0) < 0 ? container::AVERROR_NOENT
                                                                   : readHeader(slot);
    }
    int openMemory(std::vector<uint8_t> bytes, int slot = -1) {
        memory_ = true;
        ctx_.pb = openMemoryStream(std::move(bytes));
        return readHeader(slot);
    }
    // Packets (stream, dts, size, payload position, key) until a negative result, which goes to
    // *end.
    std::vector<ProbePacket> readAll(int* end = nullptr, size_t limit = SIZE_MAX) {
        std::vector<ProbePacket> got;
        int r = 0;
        while (got.size() < limit &&
               (r = slot_ < 0 ? container::flv_read_packet(&ctx_, &pkt_)
                              : container::flv_read_packet_backward(&ctx_, &pkt_, slot_)) >= 0)
            got.push_back(
                {pkt_.stream_index, pkt_.dts, pkt_.size, pkt_.pos, (pkt_.flags & 1) != 0});
        if (end)
            *end = r;
        return got;
    }
    container::AVFormatContext* ctx() { return &ctx_; }
    container::AVPacket* packet() { return &pkt_; }

private:
    int readHeader(int slot) {
        ctx_.priv_data = &flv_;
        slot_ = slot;
        return slot < 0 ? container::flv_read_header(&ctx_, nullptr)
                        : container::flv_read_header_backward(&ctx_, nullptr, slot);
    }
    container::AVFormatContext ctx_{};
    container::FLVContext flv_{};
    container::AVPacket pkt_{};
    bool memory_ = false;
    int slot_ = -1;
};

}  // namespace containertest
