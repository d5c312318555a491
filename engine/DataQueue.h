#pragma once

#include <QtGlobal>

#include "engine/QueueInput.h"
#include "engine/SlotBuffer.h"
#include "engine/SlotRing.h"

// Ring of data-stream records from the demux worker to a record worker. Every
// call but IsReset is made between Lock() and Unlock().
class DataQueue {
public:
    static constexpr int kCapacity = 30;

    struct Data {
        SlotBuffer buf;
        int size = 0;
        qint64 dts = 0;  // ms
    };

    // maxRecordBytes: the largest record the consumer can take.
    explicit DataQueue(qint64 maxRecordBytes);

    // Stores a copy of the record. Full when no slot is free; Refused when it
    // is larger than the consumer takes or cannot be stored.
    QueueInput InputData(qint64 dts, const unsigned char* data, int size);
    // Takes the oldest record into data (capacity bytes). False when empty, or
    // when the record does not fit data (it then stays).
    bool OutputData(qint64* dts, unsigned char* data, qint64 capacity, int* size);

    void Clear() { ring.Clear(); }
    bool TakeReset() { return ring.TakeReset(); }
    bool IsReset() const { return ring.IsReset(); }
    int Count() const { return ring.Count(); }
    void Lock() { ring.Lock(); }
    void Unlock() { ring.Unlock(); }

private:
    const qint64 maxRecordBytes;
    SlotRing<Data, kCapacity> ring;
};
