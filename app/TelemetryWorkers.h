#pragma once

#include <memory>

#include "telemetry/DrawBackLine.h"
#include "telemetry/DrawGPS.h"
#include "telemetry/DrawGSensor.h"
#include "telemetry/ReadFileGPS.h"

class Controller;
class CustomWebView;
class DataRecordSink;
class GSensorPlot;

// The engine's telemetry workers: the GPS and G-sensor record workers (the
// demux's record sinks), the whole-file track reader (woken by the engine's
// GPS request) and the track line worker. They build on the engine, so they
// live beside the Controller rather than inside it; the main window owns
// them and destroys them after the exit flag has risen. GUI thread.
class TelemetryWorkers {
public:
    explicit TelemetryWorkers(Controller* engine);
    // Each worker waits for its thread; the exit flag must be up.
    ~TelemetryWorkers();

    // After Controller::Start: the track reader, the track line worker,
    // then the two record workers (once).
    void Start();
    // The workers' signals to the map view and the view's to the workers.
    void ConnectToWebView(CustomWebView* view);
    // The G-sensor samples and the recording's start time to the chart.
    void ConnectToGSensorPlot(GSensorPlot* plot);

    // Construction order (destruction the other way round).
    DrawGPS drawGPS;
    DrawGSensor drawGSensor;
    ReadFileGPS readFileGPS;
    DrawBackLine drawBackLine;

private:
    Controller* const engine;
    std::unique_ptr<DataRecordSink> gpsSink;
    std::unique_ptr<DataRecordSink> gsensorSink;
};
