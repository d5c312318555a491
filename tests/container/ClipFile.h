#pragma once

#include <string>

#include "container/avienc.h"

namespace containertest {

// A clip being written with our writer; one left unfinished is aborted on
// destruction.
class ClipFile {
public:
    ClipFile() { ctx_.priv_data = &mux_; }
    ~ClipFile();
    ClipFile(const ClipFile&) = delete;
    ClipFile& operator=(const ClipFile&) = delete;

    bool open(const std::string& path);
    container::AVStream* add(int type);
    // A video stream with the given fourcc and size at 1/25 s per frame.
    container::AVCodecContext* addVideo(unsigned fourcc, int width, int height);
    // An audio stream of 8000 Hz mono.
    container::AVCodecContext* addAudio(container::CodecID id, unsigned tag, int bit_rate,
                                        int block_align);
    // avi_write_packet's result.
    int write(int stream, int64_t dts, bool key, const std::string& data);
    // Trailer, then close; the trailer's result.
    int finish();

    container::AVFormatContext* ctx() { return &ctx_; }
    container::AVIMuxContext* mux() { return &mux_; }

private:
    container::AVFormatContext ctx_{};
    container::AVIMuxContext mux_{};
};

}  // namespace containertest
