#pragma once

#include <QtGlobal>

#include "engine/SlotBuffer.h"
#include "engine/SlotRing.h"

// One data-stream record in the ring.
struct QueuedRecord {
    SlotBuffer buf;
    int size = 0;
    qint64 dts = 0;  // ms
    qint64 Bytes() const { return size; }
};

// Ring of data-stream records from the demux worker to a record worker. Every
// call but IsReset is made between Lock() and Unlock().
class DataQueue : public SlotRing<QueuedRecord, 30> {
public:
    // maxRecordBytes: the largest record the consumer can take.
    explicit DataQueue(qint64 maxRecordBytes);

    // Stores a copy of the record. Full when no slot is free; Refused when it
    // is larger than the consumer takes or cannot be stored.
    QueueInput InputData(qint64 dts, const unsigned char* data, int size);
    // Takes the oldest record into data (capacity bytes). False when empty, or
    // when the record does not fit data (it then stays).
    bool OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* size);

private:
    const qint64 maxRecordBytes;
};
