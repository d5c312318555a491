#pragma once

#include "codec/ACDecoder.h"
#include "codec/AudioDecoderCore.h"
#include "codec/StoredSettingsDecoder.h"

// Microsoft ADPCM (0x11006) and SWF ADPCM (0x1100d) packets to mono signed
// 16-bit PCM. Without stream parameters the codec opens as 8000 Hz mono
// (11025 Hz for SWF ADPCM). Width, height and the sync value are stored
// only; decoding does not read them. Reset, Flush, setOutputRate and
// setStreamInfo: see AudioDecoderCore.
class ACADPCMDecoder : public virtual ACDecoder,
                       public AudioDecoderCore,
                       public StoredSettingsDecoder {
public:
    // codecId: the libavcodec decoder to open on the first call. Writes
    // "pCodec not found\n" or "could not open pCodec\n" to standard error
    // when it cannot open. See ACDecoder for the rest.
    unsigned char* DecodeBuffer(int codecId, const unsigned char* data, int size, int* out,
                                int width, int height, unsigned char* dst,
                                int dstCapacity) override;
};
