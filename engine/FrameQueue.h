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

    // Frames queued at once stay within this many bytes (one frame always
    // fits): 35 frames of 720p, 16 of 1080p. Twelve rings of full 1080p
    // slots plus the groups held backwards would pass 2 GiB.
    static constexpr qint64 kMaxQueuedBytes = 48 * 1024 * 1024;

    FrameQueue() { KeepAtMost(kMaxQueuedBytes); }

    // Whether a frame of that size would be taken now (no reset pending
    // aside).
    bool HasRoom(int width, int height) const;
    // HasRoom; when there is none, the next take tells (TakeRoomWanted) that
    // the producer waits for room.
    bool HasRoomOrAsk(int width, int height);
    // Consumer: true once after a producer found no room since the last call.
    bool TakeRoomWanted();

    // Bytes of one I420 frame as codec/I420Layout lays it out; 0 unless both
    // sides are at least 1.
    static qint64 FrameBytes(int width, int height);

    // Stores a copy of the frame (FrameBytes(width, height) bytes of data).
    // Refused for negative sides, a frame above kMaxFrameBytes, pixels
    // announced without data, or no memory; else Full when no slot or no
    // room within kMaxQueuedBytes is free.
    QueueInput InputData(qint64 dts, const unsigned char* data, int width, int height);
    // Moves the frame's pixels (FrameBytes(width, height) bytes at the start of
    // *pixels; none for a marker) into the ring instead of copying them; on
    // Accepted *pixels is left empty, else it stays with the caller. Refused
    // and Full as InputData.
    QueueInput InputFrame(qint64 dts, SlotBuffer* pixels, int width, int height);
    // Takes the oldest frame, moving its pixels into *pixels (empty for a
    // marker). False when empty.
    bool OutputFrame(qint64* dts, SlotBuffer* pixels, int* width, int* height);
    // Takes the oldest frame: its pixels into data (capacity bytes), the other
    // fields through the non-null pointers. False when empty, or when the
    // pixels do not fit data (the frame then stays).
    bool OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* width, int* height);
    // The same into *data, grown to fit. False when empty or out of memory.
    bool OutputData(qint64* dts, std::vector<unsigned char>* data, int* width, int* height);

private:
    void Fill(QueuedFrame& slot, qint64 dts, int width, int height);
    QueueInput Admit(int width, int height);

    bool roomWanted = false;  // guarded by the lock
};
