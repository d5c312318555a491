#include "codec/ACADPCMDecoder.h"

namespace {

constexpr int kSwfAdpcm = 0x1100d;
const char kOpenFailed[] = "could not open pCodec\n";
const AudioDecoderCore::OpenDefaults kSwfDefaults{11025, 44000, kOpenFailed};
const AudioDecoderCore::OpenDefaults kDefaults{8000, 64000, kOpenFailed};

}  // namespace

unsigned char* ACADPCMDecoder::DecodeBuffer(int codecId, const unsigned char* data, int size,
                                            int* out, int, int, unsigned char*, int) {
    return core.Decode(codecId, data, size, out, codecId == kSwfAdpcm ? kSwfDefaults : kDefaults);
}

void ACADPCMDecoder::setWidth(int w) {
    width = w;
}

void ACADPCMDecoder::setHeight(int h) {
    height = h;
}

int ACADPCMDecoder::Reset() {
    return core.Reset();
}

int ACADPCMDecoder::setSycn(int s) {
    sync = s;
    return Reset();
}

int ACADPCMDecoder::isI() {
    return iFrame;
}

void ACADPCMDecoder::Flush() {
    core.Flush();
}

void ACADPCMDecoder::setOutputRate(int hz) {
    core.setOutputRate(hz);
}

void ACADPCMDecoder::setStreamInfo(const AudioStreamInfo& info) {
    core.setStreamInfo(info);
}
