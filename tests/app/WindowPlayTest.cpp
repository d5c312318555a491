// The real window with the real engine under X: a generated 4-channel
// recording is listed, double-clicked and driven through the tool row.
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMutex>
#include <QSignalSpy>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>
#include <memory>

#include "AppTest.h"
#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "app/CustomSlider.h"
#include "app/SpeedSlider.h"
#include "app/Widget.h"
#include "browser/CustomSearchList.h"
#include "engine/Controller.h"
#include "engine/Suspend.h"
#include "telemetry/CustomWebView.h"
#include "telemetry/GSensorPlot.h"
#include "wall/CustomYV12Widget.h"

namespace {

QMutex linesMutex;  // the workers log their exit lines at once
QStringList exitLines;

void keepExitLines(QtMsgType, const QMessageLogContext&, const QString& text) {
    const QMutexLocker lock(&linesMutex);
    if (text.contains(" exit") || text.startsWith("Demux exit"))
        exitLines << text;
}

class WindowPlayTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        qInstallMessageHandler(keepExitLines);
    }
    void TearDown() override { qInstallMessageHandler(nullptr); }
    // Read and cleared only while no worker runs.
    static QStringList& lines() {
        const QMutexLocker lock(&linesMutex);
        return exitLines;
    }
    QToolButton* button(const char* name) { return child<QToolButton>(*window, name); }
    int position() { return child<QSlider>(*window, "slider_progress")->value(); }
    // How far the position moves in ms of wall time.
    int advance(int ms) {
        const int from = position();
        QTest::qWait(ms);
        return position() - from;
    }
    std::unique_ptr<Widget> window;
};

TEST_F(WindowPlayTest, PlaysARecordingThroughTheToolRow) {
    testsupport::TempDir dir;
    ASSERT_EQ(testsupport::runCommand(
                  {"python3", testsupport::sourceDir() + "/scripts/fixtures/make_recordings.py",
                   "recording", "--media", testsupport::testDataDir(), "--out", dir.path(),
                   "--channels", "4", "--duration-ms", "20000"})
                  .exitCode,
              0);
    const QString snaps = QString::fromStdString(dir.file("snap/"));
    QSettings().setValue("/SettingsWidget/SnapshotPath", snaps);
    QSettings().setValue("/SettingsWidget/MapType", 3);  // the offline OpenStreetMap page
    window = std::make_unique<Widget>();
    window->resize(1200, 800);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    // Records reach the map only once its page is up.
    ASSERT_TRUE(QTest::qWaitFor([] { return Controller::GetInstance()->mapLoaded.load(); }, 20000));
    auto* list = child<CustomSearchList>(*window, "page_filelist");
    list->loadFolder(QString::fromStdString(dir.path()));
    auto* view = child<QTableView>(*list, "tableView");
    ASSERT_EQ(view->model()->rowCount(), 4);
    QSignalSpy play(list, &CustomSearchList::Signal_playAVI);
    emit view->doubleClicked(view->model()->index(0, 0));
    ASSERT_EQ(play.count(), 1);

    // Frames reach the four cells and change; the time runs.
    const QList<CustomYV12Widget*> cells = window->findChildren<CustomYV12Widget*>();
    ASSERT_EQ(cells.size(), 12);
    ASSERT_TRUE(QTest::qWaitFor([&] { return position() > 1500; }, 5000)) << position();
    const auto picture = [&](int c) { return cells[c]->grabFramebuffer(); };
    for (int c = 0; c < 4; ++c) {
        const QImage a = picture(c);
        EXPECT_GT(a.convertToFormat(QImage::Format_Grayscale8).bits()[a.width() * 40 + 40] +
                      a.pixelColor(a.width() / 2, a.height() / 2).value(),
                  0)
            << c;
        QTest::qWait(200);
        EXPECT_NE(picture(c), a) << c;
    }
    EXPECT_TRUE(child<QLabel>(*window, "label_progress")->text().endsWith("/00:00:20"));
    // The chart has samples; the map the driven line and the whole track.
    EXPECT_GT(child<GSensorPlot>(*window, "WaveArea")->graph(0)->dataCount(), 0);
    QVariantMap map;
    const auto mapState = [&] {
        map.clear();
        child<CustomWebView>(*window, "page_map")
            ->page()
            ->runJavaScript("OrdavexMap.state()", [&](const QVariant& v) { map = v.toMap(); });
        return QTest::qWaitFor([&] { return !map.isEmpty(); }) &&
               !map["track"].toList().isEmpty() && map["route"].toList().size() > 10;
    };
    EXPECT_TRUE(QTest::qWaitFor(mapState, 5000));
    QDir().mkpath("screenshots");
    EXPECT_TRUE(window->grab().save("screenshots/Widget.png"));

    button("toolButton_forwards")->click();  // pause
    EXPECT_FALSE(button("toolButton_forwards")->isChecked());
    QTest::qWait(200);
    EXPECT_EQ(advance(300), 0);
    button("toolButton_oneframe")->click();
    const int paused = position();
    button("toolButton_oneframe")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() > paused && position() <= paused + 200; }))
        << position();

    auto* slider = child<CustomSlider>(*window, "slider_progress");
    QTest::mouseClick(slider, Qt::LeftButton, {},
                      QPoint(slider->width() / 2, slider->height() / 2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(position() - 10000) < 1500; }))
        << position();  // key frames are 1 s apart
    const int sought = position();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() >= sought + 500; })) << position();

    button("toolButton_forwards")->click();  // play, then 4X and 1/4X
    auto* speed = child<SpeedSlider>(*window, "speedControl");
    speed->valueChange(6);
    QTest::qWait(300);
    EXPECT_GT(advance(800), 2000);
    speed->valueChange(2);
    QTest::qWait(300);
    EXPECT_LT(advance(800), 500);
    speed->valueChange(4);
    button("toolButton_backwards")->click();
    EXPECT_TRUE(button("toolButton_backwards")->isChecked());
    EXPECT_FALSE(button("toolButton_forwards")->isChecked());
    QTest::qWait(600);
    EXPECT_LT(advance(800), -300);

    button("toolButton_snapshot")->click();
    EXPECT_EQ(QDir(snaps + "1").entryList({"*.bmp"}).size(), 1);

    const std::pair<const char*, int> layouts[] = {{"toolButton_single", 1},
                                                   {"toolButton_four", 4},
                                                   {"toolButton_eight", 8},
                                                   {"toolButton_nine", 9},
                                                   {"toolButton_twelve", 12}};
    for (const auto& [name, shown] : layouts) {
        button(name)->click();
        EXPECT_EQ(
            std::count_if(cells.begin(), cells.end(), [](QWidget* c) { return c->isVisible(); }),
            shown)
            << name;
    }
    QWidget* wall = child<QWidget>(*window, "PlayArea");
    button("toolButton_fullScreen")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return wall->isFullScreen(); })) << position();
    QTest::keyClick(wall, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wall->isWindow() && wall->isVisible(); }))
        << position();

    button("toolButton_forwards")->click();
    button("toolButton_secframe")->click();  // unpaced: the last 10 s go by at once
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->maximum() == 0; }, 3000)) << position();

    QElapsedTimer closing;
    closing.start();
    window.reset();
    EXPECT_LT(closing.elapsed(), 1500);
    QStringList expected{"Demux exit",   "PlayCtrl exit",    "ReadFileGPS exit",
                         "DrawGPS exit", "drawGSensor exit", "DrawBackLine exit"};
    for (int ch = 0; ch < 12; ++ch)
        expected << QString("Decode exit: %1").arg(ch) << QString("Video exit: %1").arg(ch);
    expected.sort();
    QStringList got = lines();
    got.sort();
    EXPECT_EQ(got, expected);
}

TEST_F(WindowPlayTest, ClosesWithinTheLimitInEveryState) {
    const std::string folder = testsupport::testDataDir() + "/recordings";
    QVector<QString> paths(12);
    for (int ch = 1; ch <= 4; ++ch)
        paths[ch - 1] = QString::fromStdString(folder) +
                        QString(
                            "/20230514083000_NM_0004000_0000192032_0320_0240_25_00321058_"
                            "0000000088880001_%1_2305140001_00_642_0000000_V02_000_E08_0.avi")
                            .arg(ch, 2, 10, QChar('0'));
    const char* states[] = {"idle", "playing", "paused", "backward", "stepping"};
    for (const char* state : states) {
        g_bSuspend.store(false);
        Controller engine;
        window = std::make_unique<Widget>(nullptr, &engine);
        window->show();
        if (QString(state) != "idle") {
            engine.On_PlayAVI(paths, 1);
            ASSERT_TRUE(QTest::qWaitFor([&] { return position() > 500; }, 5000)) << state;
        }
        if (QString(state) == "paused")
            button("toolButton_forwards")->click();
        if (QString(state) == "backward")
            button("toolButton_backwards")->click();
        if (QString(state) == "stepping")
            button("toolButton_oneframe")->click();
        QTest::qWait(300);  // queues fill up
        lines().clear();
        QElapsedTimer closing;
        closing.start();
        window.reset();
        EXPECT_LT(closing.elapsed(), 1500) << state;
        EXPECT_EQ(lines().size(), 30) << state;
    }
}

}  // namespace
