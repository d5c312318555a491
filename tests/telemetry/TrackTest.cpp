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
    controller.mapType.store(MapType::Baidu);
    const FixtureFile file = WriteRecording(dir.path() + "/", {"--duration-ms", "20000"});
    QVector<FixtureRecord> fixes;  // the writer's track always moves
    for (const FixtureRecord& r : file.records) {
        if (r.name == "GPS") {
            fixes << r;
        }
    }
    ASSERT_EQ(fixes.size(), 20);
    Play(file.path);
    ASSERT_TRUE(PointsReach(fixes.size()));
    line.RunPass();
    ASSERT_EQ(routes.size(), 1);
    const QString text = routes[0][0].toString();
    ASSERT_TRUE(text.endsWith(';'));
    const QStringList points = text.chopped(1).split(';');
    ASSERT_EQ(points.size(), fixes.size());
    for (int i = 0; i < fixes.size(); ++i) {
        const QJsonObject& v = fixes[i].values;
        const LatLon p =
            GPSTransfer().toMap(MapType::Baidu, {v["lat"].toDouble(), v["lon"].toDouble()}, {});
        ASSERT_EQ(points[i], QString::number(p.lat, 'f', 6) + ',' + QString::number(p.lon, 'f', 6));
        seeks.clear();
        line.RecvPoint(QString::number(p.lat + 1e-7, 'f', 8),
                       QString::number(p.lon - 1e-7, 'f', 8));
        ASSERT_EQ(seeks.size(), 1);
        EXPECT_EQ(seeks[0][0].toLongLong(), fixes[i].timeMs / 1000 * 1000);
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
