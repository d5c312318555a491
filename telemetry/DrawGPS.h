#pragma once

#include <QString>
#include <QtGlobal>

#include "engine/QueueInput.h"
#include "telemetry/GPSParse.h"
#include "telemetry/RecordWorker.h"

class Controller;

// Follows the vehicle on the map while a recording plays: parses the GPS
// records of the selected channel, drops fixes that did not move or have no
// position, converts them for the map type when map offset is on, and emits
// the argument lists of the page's DrawTrackLine and MoveCar.
class DrawGPS : public RecordWorker {
    Q_OBJECT
public:
    DrawGPS(Controller* controller, TimeSource* time);
    ~DrawGPS() override;

    // Demux thread: one "GPS" record of the selected channel (copied); ts in
    // ms from the start of the file. Before the map page has loaded the
    // record is dropped and reported Accepted. Full: offer it again later.
    QueueInput InputData(qint64 ts, const unsigned char* data, int size);

    // Worker thread: handles one record; true when it emitted a track point.
    bool processData(const unsigned char* data, int size);

signals:
    // The track line and car marker are to be cleared (new file, seek, stop,
    // map offset switched).
    void Signal_clearTrackLine();
    // trackArgs: "id",lat,lon; carArgs: "id",lat,lon,course (ScriptArgs).
    void Signal_addTrack(QString trackArgs, QString carArgs);

protected:
    void run() override;

private:
    void RunPass();

    Controller* const controller;
    // Worker thread only.
    GPSParse record;
    bool lastMapOffset = true;  // map offset the current track was drawn with
};
