#include "app/TelemetryWorkers.h"

#include "engine/Controller.h"
#include "engine/DataRecordSink.h"
#include "telemetry/CustomWebView.h"
#include "telemetry/GSensorPlot.h"

namespace {

// A record worker's ring as the demux's record sink: a full ring asks for
// the record again later; a refused record is gone.
template <typename RecordWorkerType>
class RingSink : public DataRecordSink {
public:
    explicit RingSink(RecordWorkerType* worker) : worker(worker) {}
    bool InputData(qint64 dts, const unsigned char* data, int size) override {
        return worker->InputData(dts, data, size) != QueueInput::Full;
    }
    void Clear() override { worker->Clear(); }

private:
    RecordWorkerType* const worker;
};

}  // namespace

TelemetryWorkers::TelemetryWorkers(Controller* engine)
    : drawGPS(engine, engine->Time()),
      drawGSensor(engine->Time()),
      readFileGPS(engine, &engine->gpsList, engine->Time()),
      drawBackLine(engine, &engine->gpsList, engine->Time()),
      engine(engine),
      gpsSink(new RingSink<DrawGPS>(&drawGPS)),
      gsensorSink(new RingSink<DrawGSensor>(&drawGSensor)) {
    engine->SetRecordSinks(gpsSink.get(), gsensorSink.get());
}

TelemetryWorkers::~TelemetryWorkers() {
    engine->SetRecordSinks(nullptr, nullptr);
}

void TelemetryWorkers::Start() {
    readFileGPS.Start();
    drawBackLine.Start();
    drawGPS.Start();
    drawGSensor.Start();
}

void TelemetryWorkers::ConnectToWebView(CustomWebView* view) {
    Controller* const c = engine;
    QObject::connect(view, &CustomWebView::Signal_loadMap_finish, c,
                     [c] { c->mapLoaded.store(true); });
    QObject::connect(view, &CustomWebView::Signal_findPoint, &drawBackLine,
                     &DrawBackLine::RecvPoint);
    QObject::connect(&drawBackLine, &DrawBackLine::Signal_clearBackLine, view,
                     &CustomWebView::ClearBackLine);
    QObject::connect(&drawBackLine, &DrawBackLine::Signal_drawBackLine, view,
                     &CustomWebView::DrawBackLine);
    QObject::connect(&drawBackLine, &DrawBackLine::Signal_playBackChange, view,
                     &CustomWebView::SetBackLineShow);
    QObject::connect(&drawGPS, &DrawGPS::Signal_clearTrackLine, view,
                     &CustomWebView::ClearTrackLine);
    QObject::connect(&drawGPS, &DrawGPS::Signal_addTrack, view, &CustomWebView::AddTrack);
}

void TelemetryWorkers::ConnectToGSensorPlot(GSensorPlot* plot) {
    QObject::connect(&drawGSensor, &DrawGSensor::Signal_clearGSensor, plot, &GSensorPlot::Clear);
    QObject::connect(&drawGSensor, &DrawGSensor::Signal_AddGSensor, plot, &GSensorPlot::AddDate);
    QObject::connect(engine, &Controller::Signal_startTimeChange, plot, &GSensorPlot::SetDateTime);
}
