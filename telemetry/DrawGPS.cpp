#include "telemetry/DrawGPS.h"

#include <cmath>

#include "engine/Controller.h"
#include "engine/Suspend.h"
#include "telemetry/PageMapType.h"
#include "telemetry/ScriptArgs.h"

namespace {
constexpr qint64 kPollMs = 1000;
}

DrawGPS::DrawGPS(Controller* controller, TimeSource* time)
    : RecordWorker(time), controller(controller) {}

DrawGPS::~DrawGPS() {
    Wait();
}

QueueInput DrawGPS::InputData(qint64 ts, const unsigned char* data, int size) {
    if (!controller->mapLoaded.load()) {
        return QueueInput::Accepted;
    }
    return Queue(ts, data, size);
}

void DrawGPS::run() {
    while (!g_bSuspend.load()) {
        RunPass();
    }
    Finish(QStringLiteral("DrawGPS exit"));
}

void DrawGPS::RunPass() {
    if (!controller->mapLoaded.load()) {
        delay_ms(kPollMs);
        return;
    }
    bool reset = false;
    qint64 ts = 0;
    int size = 0;
    const bool got = Take(&reset, &ts, &size);
    const bool mapOffset = controller->mapOffset.load();
    if (reset || mapOffset != lastMapOffset) {
        lastMapOffset = mapOffset;
        record.ForgetPrevious();
        emit Signal_clearTrackLine();
    }
    if (!got) {
        delay_ms(kPollMs);
        return;
    }
    processData(Record(), size);
}

bool DrawGPS::processData(const unsigned char* data, int size) {
    if (record.ParseRecord(data, size) < 0 || !record.HasDrawableFix() || !record.Moved()) {
        return false;
    }
    record.UpdateMapPosition(controller->mapOffset.load(), PageMapType(controller->mapType.load()));
    if (!std::isfinite(record.mapLatitude) || !std::isfinite(record.mapLongitude)) {
        return false;
    }
    const QString id = QString::fromUtf8(record.carInfo);
    emit Signal_addTrack(
        ScriptArgs::TrackArgs(id, record.mapLatitude, record.mapLongitude),
        ScriptArgs::CarArgs(id, record.mapLatitude, record.mapLongitude, record.course));
    record.KeepAsPrevious();
    return true;
}
