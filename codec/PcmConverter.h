#pragma once

#include <cstdint>

struct AVFrame;
struct SwrContext;

// Turns decoded audio frames of any sample format and channel layout into
// mono signed 16-bit samples at a chosen rate. The resampler is kept while
// the input and output stay the same, so a rate change has no seams between
// packets; it is rebuilt when they change and dropped by Reset.
class PcmConverter {
public:
    PcmConverter() = default;
    ~PcmConverter();
    PcmConverter(const PcmConverter&) = delete;
    PcmConverter& operator=(const PcmConverter&) = delete;

    // Sets the converter up for frame at outRate (0: the frame's own rate) and
    // returns the most samples Convert can give for it, or -1 when the frame
    // cannot be converted.
    int Prepare(const AVFrame* frame, int outRate);
    // Converts the frame prepared last into dst (room for capacity samples);
    // returns the samples written, or -1.
    int Convert(const AVFrame* frame, uint8_t* dst, int capacity);
    // Most samples the resampler still holds back; 0 when it holds none.
    int Pending() const;
    // Hands out the held-back samples into dst (room for capacity samples)
    // and forgets the resampler; returns the samples written, or -1.
    int Drain(uint8_t* dst, int capacity);
    // Forgets the resampler and what it holds.
    void Reset();

private:
    SwrContext* swr = nullptr;
    // What swr was built for.
    int inFormat = -1;
    int inRate = 0;
    int inChannels = 0;
    uint64_t inMask = 0;
    int outRate = 0;
};
