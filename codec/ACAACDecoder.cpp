#include "codec/ACAACDecoder.h"

namespace {

const AudioDecoderCore::OpenDefaults kDefaults{8000, 0, "could not open pCodecContext\n"};

}  // namespace

unsigned char* ACAACDecoder::DecodeBuffer(int codecId, const unsigned char* data, int size,
                                          int* out, int, int, unsigned char*, int) {
    return core.Decode(codecId, data, size, out, kDefaults);
}

int ACAACDecoder::Reset() {
    return core.Reset();
}

void ACAACDecoder::Flush() {
    core.Flush();
}

void ACAACDecoder::setOutputRate(int hz) {
    core.setOutputRate(hz);
}

void ACAACDecoder::setStreamInfo(const AudioStreamInfo& info) {
    core.setStreamInfo(info);
}
