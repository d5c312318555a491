#include "codec/ACAACDecoder.h"

unsigned char* ACAACDecoder::DecodeBuffer(int codecId, const unsigned char* data, int size,
                                          int* out, int, int, unsigned char*, int) {
    static const OpenDefaults kDefaults{8000, 0, "could not open pCodecContext\n"};
    return Decode(codecId, data, size, out, kDefaults);
}
