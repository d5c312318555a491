#include "engine/DataQueue.h"

DataQueue::DataQueue(qint64 maxRecordBytes) : maxRecordBytes(maxRecordBytes) {}

QueueInput DataQueue::InputData(qint64 dts, const unsigned char* data, int size) {
    if (ring.Full()) {
        return QueueInput::Full;
    }
    Data& slot = ring.WriteSlot();
    const QueueInput stored = slot.buf.Store(data, size, maxRecordBytes);
    if (stored != QueueInput::Accepted) {
        return stored;
    }
    slot.size = size;
    slot.dts = dts;
    ring.Push();
    return QueueInput::Accepted;
}

bool DataQueue::OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* size) {
    if (ring.Empty()) {
        return false;
    }
    const Data& slot = ring.ReadSlot();
    if (!slot.buf.CopyOut(data, capacity, slot.size)) {
        return false;
    }
    if (dts) {
        *dts = slot.dts;
    }
    if (size) {
        *size = slot.size;
    }
    ring.Pop();
    return true;
}
