#include "engine/DataQueue.h"

DataQueue::DataQueue(qint64 maxRecordBytes) : maxRecordBytes(maxRecordBytes) {}

QueueInput DataQueue::InputData(qint64 dts, const unsigned char* data, int size) {
    return Put(data, size, maxRecordBytes, [&](QueuedRecord& slot) {
        slot.size = size;
        slot.dts = dts;
    });
}

bool DataQueue::OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* size) {
    return Take(data, capacity, [&](const QueuedRecord& slot) {
        SetIf(dts, slot.dts);
        SetIf(size, slot.size);
    });
}
