#pragma once

#include <QtGlobal>

#include "engine/QueueInput.h"
#include "telemetry/GSensorParse.h"
#include "telemetry/RecordWorker.h"

// Feeds the G-sensor chart while a recording plays: every record of the
// selected channel ("GSensor", "otherSensors" and accepted "GPS") updates the
// values it carries, and one sample with the newest five values follows.
class DrawGSensor : public RecordWorker {
    Q_OBJECT
public:
    explicit DrawGSensor(TimeSource* time);
    ~DrawGSensor() override;

    // Demux thread: one record (copied). ts is the record's time in the file,
    // ms from its start, also in backward play (not the reversed queue time),
    // so the chart reads real times both ways. Full: offer it again later.
    QueueInput InputData(qint64 ts, const unsigned char* data, int size);

    // Worker thread: handles one record; true when it emitted a sample (a
    // record that does not parse emits none; an empty one repeats the values).
    bool processData(qint64 ts, const unsigned char* data, int size);

signals:
    void Signal_clearGSensor();
    // dts: ms from the start of the file; speed km/h; temperature Celsius.
    void Signal_AddGSensor(qint64 dts, double x, double y, double z, double speed,
                           double temperature);

protected:
    void run() override;

private:
    void RunPass();

    // Worker thread only.
    GSensorParse record;
};
