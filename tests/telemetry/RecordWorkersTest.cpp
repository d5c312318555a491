// The GPS and G-sensor record workers, fed the recorder fixtures' records
// directly: their signals carry the manifest's values, and the page's
// arguments read back as JSON give exactly what the record held.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>
#include <vector>

#include "AmfBuilder.h"
#include "RecorderFixture.h"
#include "engine/Controller.h"
#include "engine/Suspend.h"
#include "telemetry/DrawGPS.h"
#include "telemetry/DrawGSensor.h"
#include "telemetry/GPSTransfer.h"

namespace {

TimeSource* const kTime = SystemTimeSource::Instance();

QByteArray GpsRecord(const std::string& carInfo, double lat, double lon) {
    AmfBuilder b = AmfBuilder::record("GPS", 3);
    b.text("lat").number(lat).text("lon").number(lon).text("carInfo").string(carInfo).end();
    return QByteArray(reinterpret_cast<const char*>(b.data()), b.size());
}

// Records the worker's signals in the test's thread, in emission order.
template <typename W, typename Clear, typename Add>
void Log(W* worker, Clear clear, Add add, QObject* context, QStringList* events) {
    QObject::connect(worker, clear, context, [events] { *events << "clear"; });
    QObject::connect(worker, add, context, [events] { *events << "add"; });
}

bool Saw(const QStringList& events, int n) {
    return QTest::qWaitFor([&] { return events.size() >= n; }, 5000);
}

// Ends started workers on every way out of a test, a failed assertion
// included, so a failure does not wait for ctest's time-out.
class Ending {
public:
    explicit Ending(std::initializer_list<Worker*> workers) : workers(workers) {}
    ~Ending() { End(); }
    void End() {
        g_bSuspend.store(true);
        kTime->InterruptWaits();
        for (Worker* w : workers) {
            w->Wait();
        }
        g_bSuspend.store(false);
    }

private:
    const std::vector<Worker*> workers;
};

}  // namespace

TEST(DrawGPS, TrackAndCarCarryTheFixesConvertedForEachMapType) {
    const struct {
        int mapType, datum;  // unknown types draw as OpenStreetMap
        bool offset;
    } cases[] = {{1, 1, true}, {2, 2, true},  {3, 3, true}, {4, 4, true},
                 {9, 3, true}, {-1, 3, true}, {1, 3, false}};
    const QVector<FixtureFile> files = FixtureFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const auto& c : cases) {
        Controller controller(kTime);
        controller.mapType.store(MapType(c.mapType));
        controller.mapOffset.store(c.offset);
        DrawGPS gps(&controller, kTime);
        QSignalSpy spy(&gps, &DrawGPS::Signal_addTrack);
        QStringList expected;
        LatLon last{NAN, NAN};
        for (const FixtureFile& file : files) {
            for (const FixtureRecord& r : file.records) {
                const LatLon wgs{r.values["lat"].toDouble(), r.values["lon"].toDouble()};
                if (r.name != "GPS" || (wgs.lat == last.lat && wgs.lon == last.lon)) {
                    continue;
                }
                last = wgs;
                gps.processData(Bytes(r.bytes), r.bytes.size());
                const LatLon map = GPSTransfer().toMap(MapType(c.datum), wgs, {});
                expected << QString("\"%1\",%2,%3")
                                .arg(r.values["carInfo"].toString(),
                                     QString::number(map.lat, 'f', 6),
                                     QString::number(map.lon, 'f', 6));
                expected << expected.last() + "," + QString::number(r.values["course"].toDouble());
            }
        }
        ASSERT_EQ(spy.size() * 2, expected.size()) << c.mapType;
        for (int i = 0; i < spy.size(); ++i) {
            EXPECT_EQ(spy[i][0].toString(), expected[2 * i]);
            EXPECT_EQ(spy[i][1].toString(), expected[2 * i + 1]);
        }
    }
}

TEST(DrawGPS, SkipsWhatCannotBeDrawnAndKeepsIdsInert) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string hostile = "A\"%2</script><img src=x onerror=alert(1)>\\\u2028";
    const struct {
        QByteArray record;
        int points;
    } cases[] = {{GpsRecord("B1", 22.5, 113.9), 1},    {GpsRecord("B1", 22.5, 113.9), 0},
                 {GpsRecord("B1", 5e-7, 113.9), 0},    {GpsRecord("B1", nan, 113.9), 0},
                 {GpsRecord("B1", 22.5, INFINITY), 0}, {QByteArray("\x02\x00\x03GPS\x04", 7), 0},
                 {GpsRecord(hostile, 22.6, 113.9), 1}};
    Controller controller(kTime);
    DrawGPS gps(&controller, kTime);
    QSignalSpy spy(&gps, &DrawGPS::Signal_addTrack);
    for (const auto& c : cases) {
        spy.clear();
        gps.processData(Bytes(c.record), c.record.size());
        ASSERT_EQ(spy.size(), c.points) << c.record.toHex().toStdString();
    }
    const QByteArray carArgs = "[" + spy[0][1].toString().toUtf8() + "]";
    EXPECT_EQ(QJsonDocument::fromJson(carArgs)[0].toString(), QString::fromStdString(hostile));
    EXPECT_FALSE(spy[0][1].toString().contains('<'));
}

TEST(RecordWorkers, ClearComesOnceBeforeTheNextOutput) {
    g_bSuspend.store(false);  // a Controller's destruction raises it
    Controller controller(kTime);
    controller.mapLoaded.store(true);
    DrawGPS gps(&controller, kTime);
    const QByteArray fix = GpsRecord("B1", 22.5, 113.9);
    EXPECT_EQ(gps.InputData(0, Bytes(fix), fix.size()), QueueInput::Accepted);
    const QByteArray huge(RecordWorker::kMaxRecordBytes + 1, '\2');
    EXPECT_EQ(gps.InputData(0, Bytes(huge), huge.size()), QueueInput::Refused);
    QObject context;
    QStringList events, samples;
    Log(&gps, &DrawGPS::Signal_clearTrackLine, &DrawGPS::Signal_addTrack, &context, &events);
    DrawGSensor sensor(kTime);
    Log(&sensor, &DrawGSensor::Signal_clearGSensor, &DrawGSensor::Signal_AddGSensor, &context,
        &samples);
    sensor.Clear();
    sensor.Clear();
    sensor.InputData(0, Bytes(fix), fix.size());
    Ending ending{&gps, &sensor};
    gps.Start();
    sensor.Start();
    ASSERT_TRUE(Saw(events, 1));
    gps.Clear();  // a new file: the same position is drawn again, on a cleared line
    gps.InputData(1000, Bytes(fix), fix.size());
    ASSERT_TRUE(Saw(events, 3));
    controller.mapOffset.store(false);
    ASSERT_TRUE(Saw(events, 4) && Saw(samples, 2));
    ending.End();
    EXPECT_EQ(events, QStringList({"add", "clear", "add", "clear"}));
    EXPECT_EQ(samples, QStringList({"clear", "add"}));
}

TEST(DrawGSensor, SamplesCarryTheNewestValueOfEachKey) {
    const char* keys[] = {"x", "y", "z", "speed", "temperature"};
    for (const FixtureFile& file : FixtureFiles()) {
        DrawGSensor sensor(kTime);
        QSignalSpy spy(&sensor, &DrawGSensor::Signal_AddGSensor);
        QJsonObject held;
        for (const FixtureRecord& r : file.records) {
            ASSERT_TRUE(sensor.processData(r.timeMs, Bytes(r.bytes), r.bytes.size()));
            for (const char* key : keys) {
                held[key] = r.values.contains(key) ? r.values[key] : held[key];
            }
            const QList<QVariant> sample = spy.takeFirst();
            ASSERT_EQ(sample[0].toLongLong(), r.timeMs);
            for (int k = 0; k < 5; ++k) {
                EXPECT_EQ(sample[k + 1].toDouble(), held[keys[k]].toDouble()) << keys[k];
            }
        }
    }
    DrawGSensor sensor(kTime);
    EXPECT_FALSE(sensor.processData(0, Bytes(QByteArray("\x02\x00\x03GPS\x04", 7)), 7));
    EXPECT_TRUE(sensor.processData(0, nullptr, 0));
}
