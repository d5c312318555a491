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

namespace {

// The map point of the first fix of a file, as the page would send it back.
QStringList FirstFixOnTheMap(const FixtureFile& file) {
    for (const FixtureRecord& r : file.records) {
        if (r.name == "GPS") {
            const LatLon p = GPSTransfer().toMap(
                MapType::Google, {r.values["lat"].toDouble(), r.values["lon"].toDouble()}, {});
            return {QString::number(p.lat, 'f', 6), QString::number(p.lon, 'f', 6)};
        }
    }
    return {};
}

}  // namespace

// Until the track line worker has taken the new recording's route to the
// page, the page still shows the old one: a click on it seeks nowhere.
TEST_F(TrackTest, AClickOnTheOldRouteAfterANewRecordingDoesNotSeek) {
    controller.mapType.store(MapType::Google);
    const FixtureFile first = WriteRecording(dir.path() + "/", {"--duration-ms", "5000"});
    const FixtureFile second = WriteRecording(
        dir.path() + "/", {"--duration-ms", "8000", "--seed", "7", "--channel", "2"});
    Play(first.path);
    ASSERT_TRUE(PointsReach(5));
    line.RunPass();
    const QStringList oldPoint = FirstFixOnTheMap(first);
    ASSERT_EQ(oldPoint.size(), 2);
    Play(second.path);
    ASSERT_TRUE(PointsReach(8));  // the new track is in, the page has the old one
    line.RecvPoint(oldPoint[0], oldPoint[1]);
    EXPECT_EQ(seeks.size(), 0);
    clears.clear();
    line.RunPass();  // the old route goes, the new one is drawn
    EXPECT_EQ(clears.size(), 1);
    const QStringList newPoint = FirstFixOnTheMap(second);
    line.RecvPoint(newPoint[0], newPoint[1]);
    ASSERT_EQ(seeks.size(), 1);
}

// The track is the selected channel's, not the first channel's.
TEST_F(TrackTest, TheTrackIsReadFromTheSelectedChannel) {
    const FixtureFile one = WriteRecording(dir.path() + "/", {"--duration-ms", "3000"});
    const FixtureFile two =
        WriteRecording(dir.path() + "/", {"--duration-ms", "7000", "--channel", "2"});
    controller.On_PlayAVI({one.path, two.path}, 2);
    EXPECT_TRUE(PointsReach(7));
    controller.On_PlayAVI({one.path, two.path}, 1);
    EXPECT_TRUE(PointsReach(3));
}

// A file whose header the reader refuses gives no track, even when its
// records would still be found chunk by chunk.
TEST_F(TrackTest, AFileWhoseHeaderIsRefusedGivesNoTrack) {
    const FixtureFile file = WriteRecording(dir.path() + "/", {"--duration-ms", "6000"});
    Play(file.path);
    ASSERT_TRUE(PointsReach(6));
    QFile f(file.path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const int type = bytes.indexOf(QByteArray("strh\x38\0\0\0dats", 12));
    ASSERT_GT(type, 0);
    bytes[type + 8] = 'z';  // a stream type the reader does not know
    f.seek(0);
    f.write(bytes);
    f.close();
    Play(file.path);
    ASSERT_TRUE(PointsReach(0));
    EXPECT_FALSE(QTest::qWaitFor(
        [&] {
            QueueLock<GPSList> lock(controller.gpsList);
            return controller.gpsList.Count() > 0;
        },
        1500));
}
