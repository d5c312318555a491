#include "telemetry/DrawGSensor.h"

#include "engine/Suspend.h"

namespace {
constexpr qint64 kPollMs = 100;
}

DrawGSensor::DrawGSensor(TimeSource* time) : RecordWorker(time) {}

DrawGSensor::~DrawGSensor() {
    Wait();
}

QueueInput DrawGSensor::InputData(qint64 ts, const unsigned char* data, int size) {
    return Queue(ts, data, size);
}

void DrawGSensor::run() {
    while (!g_bSuspend.load()) {
        RunPass();
    }
    Finish(QStringLiteral("drawGSensor exit"));
}

void DrawGSensor::RunPass() {
    bool reset = false;
    qint64 ts = 0;
    int size = 0;
    const bool got = Take(&reset, &ts, &size);
    if (reset) {
        emit Signal_clearGSensor();
    }
    if (!got) {
        delay_ms(kPollMs);
        return;
    }
    processData(ts, Record(), size);
}

bool DrawGSensor::processData(qint64 ts, const unsigned char* data, int size) {
    if (size > 0 && record.ParseRecord(data, size) < 0) {
        return false;
    }
    emit Signal_AddGSensor(ts, record.x, record.y, record.z, record.speed, record.temperature);
    return true;
}
