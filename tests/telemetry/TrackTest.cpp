// The whole-file track: a recording written by the fixture writer is read by
// the track reader, sent by the track line worker, and a click near each
// point seeks to that point's time.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "RecorderFixture.h"
#include "TempDir.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/Suspend.h"
#include "telemetry/DrawBackLine.h"
#include "telemetry/GPSTransfer.h"
#include "telemetry/ReadFileGPS.h"

namespace {

struct Track {
    qint64 seconds;
    LatLon position;
};

// The fixes of a file (the writer's track always moves), converted for the map.
QVector<Track> ExpectedTrack(const FixtureFile& file, MapType type) {
    QVector<Track> track;
    for (const FixtureRecord& r : file.records) {
        const LatLon wgs{r.values["lat"].toDouble(), r.values["lon"].toDouble()};
        if (r.name == "GPS") {
            track.append({r.timeMs / 1000, GPSTransfer().toMap(type, wgs, {})});
        }
    }
    return track;
}

class TrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bSuspend.store(false);
        controller.mapLoaded.store(true);
        reader.Start();
    }
    void TearDown() override {
        controller.Shutdown();
        reader.Wait();
        g_bSuspend.store(false);
    }
    void Play(const QString& path) { controller.On_PlayAVI({path}, 1); }
    bool PointsReach(int n) {
        return QTest::qWaitFor(
            [&] {
                QueueLock<GPSList> lock(controller.gpsList);
                return controller.gpsList.Count() == n;
            },
            10000);
    }

    testsupport::TempDir dir;
    Controller controller{SystemTimeSource::Instance()};
    ReadFileGPS reader{&controller, &controller.gpsList, SystemTimeSource::Instance()};
    DrawBackLine line{&controller, &controller.gpsList, SystemTimeSource::Instance()};
    QSignalSpy routes{&line, &DrawBackLine::Signal_drawBackLine};
    QSignalSpy clears{&line, &DrawBackLine::Signal_clearBackLine};
    QSignalSpy seeks{&line, &DrawBackLine::Signal_seek};
};

}  // namespace

TEST_F(TrackTest, RouteHoldsTheFileFixesAndAClickSeeksToTheNearest) {
    for (MapType type : {MapType::OSMap, MapType::Baidu}) {
        controller.mapType.store(type);
        const FixtureFile file = WriteRecording(
            dir.path() + "/",
            {"--duration-ms", "20000", "--seed", QByteArray::number(int(type)).toStdString()});
        const QVector<Track> expected = ExpectedTrack(file, type);
        ASSERT_EQ(expected.size(), 20);
        controller.On_Stop();
        ASSERT_TRUE(PointsReach(0));
        Play(file.path);
        ASSERT_TRUE(PointsReach(expected.size()));
        routes.clear();
        line.RunPass();
        ASSERT_EQ(routes.size(), 1);
        const QString text = routes[0][0].toString();
        ASSERT_TRUE(text.endsWith(';'));
        const QStringList points = text.chopped(1).split(';');
        ASSERT_EQ(points.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const LatLon p = expected[i].position;
            ASSERT_EQ(points[i],
                      QString::number(p.lat, 'f', 6) + ',' + QString::number(p.lon, 'f', 6));
            seeks.clear();
            line.RecvPoint(QString::number(p.lat + 1e-7, 'f', 8),
                           QString::number(p.lon - 1e-7, 'f', 8));
            ASSERT_EQ(seeks.size(), 1);
            EXPECT_EQ(seeks[0][0].toLongLong(), expected[i].seconds * 1000);
        }
    }
}

TEST_F(TrackTest, NewFileAndStopClearTheListAndClicksThenDoNothing) {
    const FixtureFile file = WriteRecording(dir.path() + "/", {"--duration-ms", "5000"});
    Play(file.path);
    ASSERT_TRUE(PointsReach(5));
    line.RunPass();
    for (const QStringList& click :
         {QStringList{"x", "113.9"}, {"22.5", ""}, {"nan", "1"}, {"inf", "1"}}) {
        line.RecvPoint(click[0], click[1]);
    }
    EXPECT_EQ(seeks.size(), 0);
    QFile::copy(file.path, file.path + ".AVI");
    Play(file.path + ".AVI");  // not "avi": not read, but the old route goes
    ASSERT_TRUE(PointsReach(0));
    line.RecvPoint("22.5", "113.9");
    EXPECT_EQ(seeks.size(), 0);
    Play(file.path);
    ASSERT_TRUE(PointsReach(5));
    controller.On_Stop();
    ASSERT_TRUE(PointsReach(0));
    clears.clear();
    line.RunPass();
    line.RecvPoint("22.5", "113.9");
    EXPECT_EQ(clears.size(), 1);
    EXPECT_EQ(seeks.size(), 0);
}
