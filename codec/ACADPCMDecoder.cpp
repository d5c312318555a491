#include "codec/ACADPCMDecoder.h"

namespace {

constexpr int kSwfAdpcm = 0x1100d;

}  // namespace

unsigned char* ACADPCMDecoder::DecodeBuffer(int codecId, const unsigned char* data, int size,
                                            int* out, int, int, unsigned char*, int) {
    static const char kOpenFailed[] = "could not open pCodec\n";
    static const OpenDefaults kSwfDefaults{11025, 44000, kOpenFailed};
    static const OpenDefaults kDefaults{8000, 64000, kOpenFailed};
    return Decode(codecId, data, size, out, codecId == kSwfAdpcm ? kSwfDefaults : kDefaults);
}
