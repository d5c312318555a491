#include "telemetry/RecordWorker.h"

#include <QDebug>

#include "engine/QueueLock.h"

RecordWorker::RecordWorker(TimeSource* time) : Worker(time), record(kMaxRecordBytes) {}

void RecordWorker::Clear() {
    QueueLock<DataQueue> lock(queue);
    queue.Clear();
}

QueueInput RecordWorker::Queue(qint64 ts, const unsigned char* data, int size) {
    QueueInput result;
    {
        QueueLock<DataQueue> lock(queue);
        result = queue.InputData(ts, data, size);
    }
    if (result == QueueInput::Refused) {
        qDebug() << "Data record dropped, size" << size;
    }
    return result;
}

bool RecordWorker::Take(bool* reset, qint64* ts, int* size) {
    QueueLock<DataQueue> lock(queue);
    *reset = queue.TakeReset();
    return queue.OutputData(ts, record.data(), qint64(record.size()), size);
}
