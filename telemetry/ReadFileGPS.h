#pragma once

#include <QtGlobal>

#include "engine/Controller.h"
#include "engine/Worker.h"
#include "telemetry/GPSParse.h"
#include "telemetry/TrackFile.h"

class GPSList;

// Reads the whole track of the selected channel's file when a recording is
// chosen: opens the file a second time, reads it to the end on its own thread
// and appends each moved fix, converted for the map type, with its time in
// whole seconds to the track list. Its result is the list's content.
class ReadFileGPS : public Worker {
    Q_OBJECT
public:
    // Idle wait for a recording; also the longest the exit takes.
    static constexpr int kIdleWaitMs = 1000;

    ReadFileGPS(Controller* controller, GPSList* list, TimeSource* time);
    ~ReadFileGPS() override;

    // Worker thread: parses one "GPS" record and appends its point when the
    // fix is drawable and moved. -1 when the record does not parse, else 1.
    int inputGPSData(qint64 seconds, const unsigned char* data, int size);

protected:
    void run() override;

private:
    void RunPass();
    void StartFile(const Controller::Recording& recording);
    void StopFile();
    void ReadNext();
    void ClearList();

    Controller* const controller;
    GPSList* const list;
    // Worker thread only.
    GPSParse record;
    TrackFile file;
    bool reading = false;
    bool clearedForStop = true;  // the list was emptied since playback stopped
};
