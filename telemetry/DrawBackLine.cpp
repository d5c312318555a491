#include "telemetry/DrawBackLine.h"

#include <cmath>
#include <optional>

#include "engine/Controller.h"
#include "engine/GPSList.h"
#include "engine/QueueLock.h"
#include "engine/Suspend.h"
#include "telemetry/ScriptArgs.h"

DrawBackLine::DrawBackLine(Controller* controller, GPSList* list, TimeSource* time)
    : Worker(time), controller(controller), list(list) {}

DrawBackLine::~DrawBackLine() {
    Wait();
}

void DrawBackLine::run() {
    while (!g_bSuspend.load()) {
        RunPass();
        delay_ms(kPollMs);
    }
    Finish(QStringLiteral("DrawBackLine exit"));
}

void DrawBackLine::RunPass() {
    if (!controller->mapLoaded.load()) {
        return;
    }
    const bool show = controller->trackPlayback.load();
    if (show != lastTrackPlayback) {
        lastTrackPlayback = show;
        emit Signal_playBackChange(show);
    }
    QString points;
    bool reset = false;
    {
        QueueLock<GPSList> lock(*list);
        reset = list->TakeReset();
        double lat = 0.0;
        double lon = 0.0;
        while (!g_bSuspend.load() && list->OutputData(nullptr, &lat, &lon)) {
            points += ScriptArgs::Fixed(lat) + QLatin1Char(',') + ScriptArgs::Fixed(lon) +
                      QLatin1Char(';');
        }
    }
    if (reset) {
        emit Signal_clearBackLine();
    }
    if (!points.isEmpty()) {
        emit Signal_drawBackLine(points);
    }
}

void DrawBackLine::RecvPoint(const QString& lat, const QString& lon) {
    bool latOk = false;
    bool lonOk = false;
    const double latitude = lat.trimmed().toDouble(&latOk);
    const double longitude = lon.trimmed().toDouble(&lonOk);
    if (!latOk || !lonOk || !std::isfinite(latitude) || !std::isfinite(longitude)) {
        return;
    }
    std::optional<qint64> seconds;
    {
        QueueLock<GPSList> lock(*list);
        if (list->IsReset()) {
            return;
        }
        seconds = list->GetDTS(latitude, longitude);
    }
    if (seconds) {
        emit Signal_seek(*seconds * 1000);
    }
}
