// The GPS and G-sensor record workers, fed the recorder fixtures' records
// directly: their signals carry the manifest's values, and the page's
// arguments read back as JSON give exactly what the record held.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

#include "AmfBuilder.h"
#include "RecorderFixture.h"
#include "engine/Controller.h"
#include "engine/Suspend.h"
#include "telemetry/DrawGPS.h"
#include "telemetry/DrawGSensor.h"
#include "telemetry/GPSTransfer.h"

namespace {

TimeSource* Time() {
    return SystemTimeSource::Instance();
}

QJsonArray ArgsOf(const QVariant& args) {
    return QJsonDocument::fromJson("[" + args.toString().toUtf8() + "]").array();
}

QByteArray GpsRecord(const std::string& carInfo, double lat, double lon) {
    AmfBuilder b = AmfBuilder::record("GPS", 3);
    b.text("lat").number(lat).text("lon").number(lon).text("carInfo").string(carInfo).end();
    return QByteArray(reinterpret_cast<const char*>(b.data()), b.size());
}

// True once spy has seen n signals in all (wait() would miss one that came
// before it started).
bool Saw(QSignalSpy& spy, int n) {
    return QTest::qWaitFor([&] { return spy.size() >= n; }, 5000);
}

// Stops the workers of one test; the flag is lowered again for the next.
void StopWorkers(Worker& worker) {
    g_bSuspend.store(true);
    Time()->InterruptWaits();
    worker.Wait();
    g_bSuspend.store(false);
}

}  // namespace

TEST(DrawGPS, TrackAndCarCarryTheFixesConvertedForEachMapType) {
    const struct {
        int mapType;
        bool offset;
    } cases[] = {{1, true}, {2, true}, {3, true}, {4, true}, {9, true}, {-1, true}, {1, false}};
    const QVector<FixtureFile> files = FixtureFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const auto& c : cases) {
        Controller controller(Time());
        controller.mapType.store(MapType(c.mapType));
        controller.mapOffset.store(c.offset);
        DrawGPS gps(&controller, Time());
        QSignalSpy spy(&gps, &DrawGPS::Signal_addTrack);
        QVector<QJsonObject> expected;
        double lastLat = NAN, lastLon = NAN;
        for (const FixtureFile& file : files) {
            for (const FixtureRecord& r : file.records) {
                if (r.name != "GPS") {
                    continue;
                }
                gps.processData(Bytes(r.bytes), r.bytes.size());
                if (r.values["lat"].toDouble() != lastLat ||
                    r.values["lon"].toDouble() != lastLon) {
                    expected.append(r.values);
                }
                lastLat = r.values["lat"].toDouble();
                lastLon = r.values["lon"].toDouble();
            }
        }
        ASSERT_EQ(spy.size(), expected.size()) << c.mapType;
        for (int i = 0; i < spy.size(); ++i) {
            const QJsonObject& v = expected[i];
            LatLon map{v["lat"].toDouble(), v["lon"].toDouble()};
            const MapType datum =
                c.mapType >= 1 && c.mapType <= 4 ? MapType(c.mapType) : MapType::OSMap;
            map = c.offset ? GPSTransfer().toMap(datum, map, {}) : map;
            const QJsonArray track = ArgsOf(spy[i][0]);
            const QJsonArray car = ArgsOf(spy[i][1]);
            ASSERT_EQ(track.size(), 3);
            ASSERT_EQ(car.size(), 4);
            EXPECT_EQ(track[0].toString(), v["carInfo"].toString());
            EXPECT_EQ(QString::number(track[1].toDouble(), 'f', 6),
                      QString::number(map.lat, 'f', 6));
            EXPECT_EQ(QString::number(track[2].toDouble(), 'f', 6),
                      QString::number(map.lon, 'f', 6));
            EXPECT_EQ(car[3].toDouble(), v["course"].toDouble());
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
    Controller controller(Time());
    DrawGPS gps(&controller, Time());
    QSignalSpy spy(&gps, &DrawGPS::Signal_addTrack);
    for (const auto& c : cases) {
        spy.clear();
        gps.processData(Bytes(c.record), c.record.size());
        ASSERT_EQ(spy.size(), c.points) << c.record.toHex().toStdString();
    }
    EXPECT_EQ(ArgsOf(spy[0][1])[0].toString(), QString::fromStdString(hostile));
    EXPECT_FALSE(spy[0][1].toString().contains('<'));
}

TEST(DrawGPS, ClearsOnResetAndOffsetSwitchBeforeTheNextPoint) {
    g_bSuspend.store(false);  // a Controller's destruction raises it
    Controller controller(Time());
    controller.mapLoaded.store(true);
    DrawGPS gps(&controller, Time());
    const QByteArray fix = GpsRecord("B1", 22.5, 113.9);
    EXPECT_EQ(gps.InputData(0, Bytes(fix), fix.size()), QueueInput::Accepted);
    const QByteArray huge(RecordWorker::kMaxRecordBytes + 1, '\2');
    EXPECT_EQ(gps.InputData(0, Bytes(huge), huge.size()), QueueInput::Refused);
    QStringList events;
    QObject::connect(
        &gps, &DrawGPS::Signal_clearTrackLine, &gps, [&] { events << "clear"; },
        Qt::DirectConnection);
    QObject::connect(
        &gps, &DrawGPS::Signal_addTrack, &gps, [&] { events << "add"; }, Qt::DirectConnection);
    QSignalSpy adds(&gps, &DrawGPS::Signal_addTrack);
    gps.Start();
    ASSERT_TRUE(Saw(adds, 1));
    gps.Clear();  // a new file: the same position is drawn again, on a cleared line
    gps.InputData(1000, Bytes(fix), fix.size());
    ASSERT_TRUE(Saw(adds, 2));
    QSignalSpy clears(&gps, &DrawGPS::Signal_clearTrackLine);
    controller.mapOffset.store(false);
    ASSERT_TRUE(Saw(clears, 1));
    StopWorkers(gps);
    EXPECT_EQ(events, QStringList({"add", "clear", "add", "clear"}));
}

TEST(DrawGSensor, SamplesCarryTheNewestValueOfEachKey) {
    const char* keys[] = {"x", "y", "z", "speed", "temperature"};
    for (const FixtureFile& file : FixtureFiles()) {
        DrawGSensor sensor(Time());
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
    DrawGSensor sensor(Time());
    EXPECT_FALSE(sensor.processData(0, Bytes(QByteArray("\x02\x00\x03GPS\x04", 7)), 7));
    EXPECT_TRUE(sensor.processData(0, nullptr, 0));
}

TEST(DrawGSensor, ClearComesOnceBeforeTheNextSample) {
    g_bSuspend.store(false);
    DrawGSensor sensor(Time());
    QStringList events;
    QObject::connect(
        &sensor, &DrawGSensor::Signal_clearGSensor, &sensor, [&] { events << "clear"; },
        Qt::DirectConnection);
    QObject::connect(
        &sensor, &DrawGSensor::Signal_AddGSensor, &sensor, [&] { events << "add"; },
        Qt::DirectConnection);
    QSignalSpy adds(&sensor, &DrawGSensor::Signal_AddGSensor);
    const AmfBuilder record = AmfBuilder::sensorRecord();
    sensor.Clear();
    sensor.Clear();
    sensor.InputData(0, record.data(), record.size());
    sensor.Start();
    ASSERT_TRUE(Saw(adds, 1));
    StopWorkers(sensor);
    EXPECT_EQ(events, QStringList({"clear", "add"}));
}
