#pragma once

#include "codec/ACDecoder.h"
#include "codec/AudioDecoderCore.h"

// Microsoft ADPCM (0x11006) and SWF ADPCM (0x1100d) packets to mono signed
// 16-bit PCM. Without stream parameters the codec opens as 8000 Hz mono
// (11025 Hz for SWF ADPCM).
class ACADPCMDecoder : public virtual ACDecoder {
public:
    ACADPCMDecoder() = default;
    ~ACADPCMDecoder() override = default;

    // codecId: the libavcodec decoder to open on the first call. Writes
    // "pCodec not found\n" or "could not open pCodec\n" to standard error
    // when it cannot open. See ACDecoder for the rest.
    unsigned char* DecodeBuffer(int codecId, const unsigned char* data, int size, int* out,
                                int width, int height, unsigned char* dst,
                                int dstCapacity) override;
    // Stored only; decoding does not read them.
    void setWidth(int w) override;
    void setHeight(int h) override;
    // Closes the codec; the next packet opens it afresh. Returns 1.
    int Reset() override;
    // Stores the value; returns Reset().
    int setSycn(int sync) override;
    // Returns 0.
    int isI() override;
    void Flush() override;
    void setOutputRate(int hz) override;
    void setStreamInfo(const AudioStreamInfo& info) override;

private:
    int width = 0;
    int height = 0;
    int sync = 15;
    int iFrame = 0;
    AudioDecoderCore core;
};
