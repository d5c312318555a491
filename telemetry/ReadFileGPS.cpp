#include "telemetry/ReadFileGPS.h"

#include <cmath>

#include "engine/GPSList.h"
#include "engine/QueueLock.h"
#include "engine/Suspend.h"
#include "telemetry/PageMapType.h"

ReadFileGPS::ReadFileGPS(Controller* controller, GPSList* list, TimeSource* time)
    : Worker(time), controller(controller), list(list) {}

ReadFileGPS::~ReadFileGPS() {
    Wait();
}

void ReadFileGPS::run() {
    while (!g_bSuspend.load()) {
        RunPass();
    }
    file.Close();
    Finish(QStringLiteral("ReadFileGPS exit"));
}

void ReadFileGPS::RunPass() {
    Controller::Recording recording;
    if (controller->TakeNewRecording(Controller::Reader::Gps, &recording)) {
        StartFile(recording);
        return;
    }
    if (controller->playStatus.load() == PlayStatus::Stop) {
        StopFile();
    }
    if (!reading) {
        // Nothing to read: a go flag raised with a recording already taken
        // must not keep the wait from sleeping.
        controller->ClearGo(Controller::Reader::Gps);
        controller->WaitForWork(Controller::Reader::Gps, kIdleWaitMs);
        return;
    }
    ReadNext();
}

void ReadFileGPS::StartFile(const Controller::Recording& recording) {
    file.Close();
    reading = false;
    clearedForStop = false;
    record.ForgetPrevious();
    ClearList();
    const QString& path = recording.paths[recording.selectedIndex];
    reading = file.Open(path);
}

void ReadFileGPS::StopFile() {
    if (!clearedForStop) {
        ClearList();
        clearedForStop = true;
    }
    file.Close();
    reading = false;
}

void ReadFileGPS::ReadNext() {
    qint64 seconds = 0;
    const unsigned char* data = nullptr;
    int size = 0;
    switch (file.Next(&seconds, &data, &size)) {
        case TrackFile::Packet::Gps:
            inputGPSData(seconds, data, size);
            return;
        case TrackFile::Packet::Other:
            return;
        case TrackFile::Packet::End:
            file.Close();
            reading = false;
            return;
    }
}

int ReadFileGPS::inputGPSData(qint64 seconds, const unsigned char* data, int size) {
    if (record.ParseRecord(data, size) < 0) {
        return -1;
    }
    if (!record.HasDrawableFix() || !record.Moved()) {
        return 1;
    }
    record.UpdateMapPosition(controller->mapOffset.load(), PageMapType(controller->mapType.load()));
    if (!std::isfinite(record.mapLatitude) || !std::isfinite(record.mapLongitude)) {
        return 1;
    }
    {
        QueueLock<GPSList> lock(*list);
        list->InputData(seconds, record.mapLatitude, record.mapLongitude);
    }
    record.KeepAsPrevious();
    return 1;
}

void ReadFileGPS::ClearList() {
    QueueLock<GPSList> lock(*list);
    list->Clear();
}
