#pragma once

#include "codec/ACDecoder.h"
#include "codec/AudioDecoderCore.h"

// AAC packets (raw or ADTS) to mono signed 16-bit PCM. Without stream
// parameters the codec opens as 8000 Hz mono, the recorder's own format.
// Reset, Flush, setOutputRate and setStreamInfo: see AudioDecoderCore.
class ACAACDecoder : public virtual ACDecoder, public AudioDecoderCore {
public:
    // codecId: the libavcodec decoder to open on the first call. Writes
    // "pCodec not found\n" or "could not open pCodecContext\n" to standard
    // error when it cannot open. See ACDecoder for the rest.
    unsigned char* DecodeBuffer(int codecId, const unsigned char* data, int size, int* out,
                                int width, int height, unsigned char* dst,
                                int dstCapacity) override;
};
