#pragma once

#include <cstdint>

struct AVFrame;
struct SwsContext;

// Writes decoded pictures into a caller's buffer in I420Layout. 8-bit 4:2:0
// pictures are copied as they are; any other format goes through libswscale.
// Used by one thread at a time.
class I420Writer {
public:
    I420Writer() = default;
    ~I420Writer();
    I420Writer(const I420Writer&) = delete;
    I420Writer& operator=(const I420Writer&) = delete;

    // True when the whole picture was written to dst; false when dst or the
    // frame is null, the picture needs more than capacity bytes, or the
    // conversion fails (dst may then hold part of a picture).
    bool Write(const AVFrame* frame, unsigned char* dst, int64_t capacity);

private:
    bool useFrameRange(const AVFrame* frame);

    SwsContext* scaler = nullptr;  // cached for the last converted format
};
