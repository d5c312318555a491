#include "codec/ACADPCMDecoder.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

unsigned char* ACADPCMDecoder::DecodeBuffer(int codecId, const unsigned char* data, int size,
                                            int* out, int, int, unsigned char*, int) {
    static const char kOpenFailed[] = "could not open pCodec\n";
    static const OpenDefaults kSwfDefaults{11025, 44000, kOpenFailed};
    static const OpenDefaults kDefaults{8000, 64000, kOpenFailed};
    return Decode(codecId, data, size, out,
                  codecId == AV_CODEC_ID_ADPCM_SWF ? kSwfDefaults : kDefaults);
}
