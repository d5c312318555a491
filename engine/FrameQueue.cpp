#include "engine/FrameQueue.h"

qint64 FrameQueue::FrameBytes(int width, int height) {
    if (width < 1 || height < 1) {
        return 0;
    }
    return qint64(width) * qint64(height) * 3 / 2;
}

QueueInput FrameQueue::InputData(qint64 dts, const unsigned char* data, int width, int height) {
    if (ring.Full()) {
        return QueueInput::Full;
    }
    if (width < 0 || height < 0) {
        return QueueInput::Refused;
    }
    Frame& slot = ring.WriteSlot();
    const QueueInput stored = slot.buf.Store(data, FrameBytes(width, height), kMaxFrameBytes);
    if (stored != QueueInput::Accepted) {
        return stored;
    }
    slot.width = width;
    slot.height = height;
    slot.dts = dts;
    ring.Push();
    return QueueInput::Accepted;
}

bool FrameQueue::OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* width,
                            int* height) {
    if (ring.Empty()) {
        return false;
    }
    const Frame& slot = ring.ReadSlot();
    if (!slot.buf.CopyOut(data, capacity, FrameBytes(slot.width, slot.height))) {
        return false;
    }
    if (dts) {
        *dts = slot.dts;
    }
    if (width) {
        *width = slot.width;
    }
    if (height) {
        *height = slot.height;
    }
    ring.Pop();
    return true;
}
