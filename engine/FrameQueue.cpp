#include "engine/FrameQueue.h"

#include "codec/I420Layout.h"

qint64 QueuedFrame::Bytes() const {
    return FrameQueue::FrameBytes(width, height);
}

qint64 FrameQueue::FrameBytes(int width, int height) {
    return I420Layout::ForSize(width, height).size;
}

QueueInput FrameQueue::InputData(qint64 dts, const unsigned char* data, int width, int height) {
    if (width < 0 || height < 0) {
        return QueueInput::Refused;
    }
    return Put(data, FrameBytes(width, height), kMaxFrameBytes, [&](QueuedFrame& slot) {
        slot.width = width;
        slot.height = height;
        slot.dts = dts;
    });
}

bool FrameQueue::OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* width,
                            int* height) {
    return Take(data, capacity, [&](const QueuedFrame& slot) {
        SetIf(dts, slot.dts);
        SetIf(width, slot.width);
        SetIf(height, slot.height);
    });
}

bool FrameQueue::OutputData(qint64* dts, std::vector<unsigned char>* data, int* width,
                            int* height) {
    return TakeInto(data, [&](const QueuedFrame& slot) {
        SetIf(dts, slot.dts);
        SetIf(width, slot.width);
        SetIf(height, slot.height);
    });
}
