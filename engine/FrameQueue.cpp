#include "engine/FrameQueue.h"

#include <utility>

#include "codec/I420Layout.h"

qint64 QueuedFrame::Bytes() const {
    return FrameQueue::FrameBytes(width, height);
}

qint64 FrameQueue::FrameBytes(int width, int height) {
    return I420Layout::ForSize(width, height).size;
}

bool FrameQueue::HasRoom(int width, int height) const {
    return Count() < kCapacity &&
           (Count() == 0 || QueuedBytes() + FrameBytes(width, height) <= kMaxQueuedBytes);
}

bool FrameQueue::HasRoomOrAsk(int width, int height) {
    const bool room = HasRoom(width, height);
    roomWanted = roomWanted || !room;
    return room;
}

bool FrameQueue::TakeRoomWanted() {
    return std::exchange(roomWanted, false);
}

void FrameQueue::Fill(QueuedFrame& slot, qint64 dts, int width, int height) {
    slot.width = width;
    slot.height = height;
    slot.dts = dts;
}

QueueInput FrameQueue::Admit(int width, int height) {
    if (width < 0 || height < 0 || FrameBytes(width, height) > kMaxFrameBytes) {
        return QueueInput::Refused;
    }
    return HasRoomOrAsk(width, height) ? QueueInput::Accepted : QueueInput::Full;
}

QueueInput FrameQueue::InputData(qint64 dts, const unsigned char* data, int width, int height) {
    const QueueInput admitted = Admit(width, height);
    if (admitted != QueueInput::Accepted) {
        return admitted;
    }
    return Put(data, FrameBytes(width, height), kMaxFrameBytes,
               [&](QueuedFrame& slot) { Fill(slot, dts, width, height); });
}

QueueInput FrameQueue::InputFrame(qint64 dts, SlotBuffer* pixels, int width, int height) {
    if (pixels->Capacity() < FrameBytes(width, height)) {
        return QueueInput::Refused;  // pixels announced that are not there
    }
    const QueueInput admitted = Admit(width, height);
    if (admitted != QueueInput::Accepted) {
        return admitted;
    }
    return PutBlock(pixels, [&](QueuedFrame& slot) { Fill(slot, dts, width, height); });
}

bool FrameQueue::OutputFrame(qint64* dts, SlotBuffer* pixels, int* width, int* height) {
    return TakeBlock(pixels, [&](const QueuedFrame& slot) {
        SetIf(dts, slot.dts);
        SetIf(width, slot.width);
        SetIf(height, slot.height);
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
