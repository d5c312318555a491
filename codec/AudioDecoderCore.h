#pragma once

#include <cstdint>

#include "codec/ACDecoder.h"
#include "codec/AudioStreamInfo.h"
#include "codec/CodecSession.h"
#include "codec/PcmConverter.h"

// What the AAC and ADPCM decoders share: opening the codec for an id,
// decoding every frame of a packet under FFmpegLock, and converting it to
// mono 16-bit PCM in one reused output buffer.
class AudioDecoderCore : public virtual ACDecoder {
public:
    AudioDecoderCore();
    ~AudioDecoderCore() override;

    // Closes the codec; the next packet opens it afresh. Returns 1.
    int Reset() override;
    // Drops the decoder's and the resampler's held state, keeps the codec open.
    void Flush() override;
    // End of stream: the PCM of every frame the codec and the resampler still
    // hold, in one block (owned here); null when none is left, after which
    // the decoder takes new packets again.
    unsigned char* Drain(int* out, unsigned char* dst, int dstCapacity) override;
    void setOutputRate(int hz) override;
    void setStreamInfo(const AudioStreamInfo& info) override;

protected:
    // How a decoder class opens its codec when the stream says nothing else.
    struct OpenDefaults {
        int sampleRate;
        int64_t bitRate;              // 0: leave libavcodec's
        const char* openFailMessage;  // written to standard error
    };

    // Opens the codec when needed (writing "pCodec not found\n" or the
    // class's open-failure message to standard error when it cannot),
    // decodes the packet and returns the PCM of all its frames (owned here,
    // valid until the next call) with its byte count in *out; null when
    // nothing came out (then *out is untouched).
    unsigned char* Decode(int codecId, const unsigned char* data, int size, int* out,
                          const OpenDefaults& defaults);

private:
    bool open(int codecId, const OpenDefaults& defaults);
    bool append(const AVFrame* frame);
    bool reserve(int samples);

    CodecSession session{true};
    PcmConverter converter;
    bool needsOpen = true;
    AudioStreamInfo stream;
    int outputRate = 0;  // 0: the stream's own rate
    uint8_t* output = nullptr;
    unsigned int capacity = 0;
    int64_t used = 0;  // bytes of PCM gathered for the current packet
};
