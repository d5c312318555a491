#pragma once

#include <QtGlobal>
#include <vector>

#include "engine/DataQueue.h"
#include "engine/QueueInput.h"
#include "engine/Worker.h"
#include "telemetry/Parse.h"

// Base of the two record workers: the ring of data-stream records that the
// demux worker fills and the worker drains on its own thread.
class RecordWorker : public Worker {
    Q_OBJECT
public:
    // Records are a few hundred bytes; larger ones are dropped.
    static constexpr qint64 kMaxRecordBytes = Parse::kMaxRecordBytes;

    explicit RecordWorker(TimeSource* time);

    // Demux thread (or any): empties the ring; the worker then clears its
    // output once, before the next record.
    void Clear();

protected:
    // Demux thread: queues a copy of the record. Full: offer it again later;
    // Refused: too large or unstorable, dropped with a debug line.
    QueueInput Queue(qint64 ts, const unsigned char* data, int size);
    // Worker thread: takes the oldest record into Record(). *reset tells
    // whether a Clear came since the last take; false when nothing waits.
    bool Take(bool* reset, qint64* ts, int* size);
    const unsigned char* Record() const { return record.data(); }

private:
    DataQueue queue{kMaxRecordBytes};
    // Worker thread only.
    std::vector<unsigned char> record;
};
