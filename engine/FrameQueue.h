#pragma once

#include <QtGlobal>
#include <vector>

#include "engine/SlotBuffer.h"
#include "engine/SlotRing.h"

// One decoded I420 frame in the ring.
struct QueuedFrame {
    SlotBuffer buf;
    int width = 0;
    int height = 0;
    qint64 dts = 0;  // ms, or a marker
    qint64 Bytes() const;
};

// Ring of decoded I420 frames from a decode worker to its release worker.
// Markers are entries of 0 x 0 with no data. Every call but IsReset is made
// between Lock() and Unlock().
class FrameQueue : public SlotRing<QueuedFrame, 35> {
public:
    // Largest frame taken: an 8192 x 8192 picture.
    static constexpr qint64 kMaxFrameBytes = 100663296;

    // Bytes of one I420 frame as codec/I420Layout lays it out; 0 unless both
    // sides are at least 1.
    static qint64 FrameBytes(int width, int height);

    // Stores a copy of the frame (FrameBytes(width, height) bytes of data).
    // Refused for negative sides, a frame above kMaxFrameBytes, pixels
    // announced without data, or no memory; else Full when no slot is free.
    QueueInput InputData(qint64 dts, const unsigned char* data, int width, int height);
    // Takes the oldest frame: its pixels into data (capacity bytes), the other
    // fields through the non-null pointers. False when empty, or when the
    // pixels do not fit data (the frame then stays).
    bool OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* width, int* height);
    // The same into *data, grown to fit. False when empty or out of memory.
    bool OutputData(qint64* dts, std::vector<unsigned char>* data, int* width, int* height);
};
