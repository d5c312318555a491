// The real window with the real engine under X: a generated 4-channel
// recording is listed, double-clicked and driven through the tool row.
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>
#include <map>
#include <memory>

#include "AppTest.h"
#include "Command.h"
#include "Limits.h"
#include "TempDir.h"
#include "TestData.h"
#include "app/CustomSaveSlider.h"
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
    if (text.contains(" exit") || text == "cut SU")
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
    const std::string maker = testsupport::sourceDir() + "/scripts/fixtures/make_recordings.py";
    ASSERT_EQ(testsupport::runCommand({"python3", maker, "recording", "--media",
                                       testsupport::testDataDir(), "--out", dir.path(),
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
    emit view->doubleClicked(view->model()->index(0, 0));

    // Frames reach the four cells and change; the time runs.
    const QList<CustomYV12Widget*> cells = window->findChildren<CustomYV12Widget*>();
    ASSERT_EQ(cells.size(), 12);
    ASSERT_TRUE(QTest::qWaitFor([&] { return position() > 1500; }, 20000)) << position();
    const auto picture = [&](int c) { return cells[c]->grabFramebuffer(); };
    for (int c = 0; c < 4; ++c) {
        const QImage a = picture(c);  // colour bars, not a blank cell, and moving
        EXPECT_NE(a.pixel(a.width() / 8, a.height() / 2),
                  a.pixel(a.width() * 7 / 8, a.height() / 2));
        EXPECT_TRUE(QTest::qWaitFor([&] { return picture(c) != a; }, 10000)) << c;
    }
    EXPECT_TRUE(child<QLabel>(*window, "label_progress")->text().endsWith("/00:00:20"));
    // The chart has samples; the map the driven line and the whole track.
    EXPECT_GT(child<GSensorPlot>(*window, "WaveArea")->graph(0)->dataCount(), 0);
    QVariantMap map;
    QWebEnginePage* page = child<CustomWebView>(*window, "page_map")->page();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            map.clear();
            page->runJavaScript("OrdavexMap.state()", [&](const QVariant& v) { map = v.toMap(); });
            return QTest::qWaitFor([&] { return !map.isEmpty(); }) &&
                   !map["track"].toList().isEmpty() && map["route"].toList().size() > 10;
        },
        20000));
    QDir().mkpath("screenshots");
    EXPECT_TRUE(window->grab().save("screenshots/Widget.png"));

    button("toolButton_forwards")->click();  // pause
    EXPECT_FALSE(button("toolButton_forwards")->isChecked());
    QTest::qWait(200);
    EXPECT_EQ(advance(300), 0);
    button("toolButton_oneframe")->click();
    const int paused = position();
    button("toolButton_oneframe")->click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return position() > paused && position() <= paused + 200; }, 10000))
        << position();

    auto* slider = child<CustomSlider>(*window, "slider_progress");
    QTest::mouseClick(slider, Qt::LeftButton, {}, slider->rect().center());
    // Key frames are 1 s apart.
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(position() - 10000) < 1500; }, 20000));
    const int sought = position();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() >= sought + 500; }, 20000)) << position();

    // Play, then 4X and 1/4X: the engine takes the speed, and the time never
    // runs ahead of it (how fast it keeps up is the machine's: benchmarks).
    button("toolButton_forwards")->click();
    auto* speed = child<SpeedSlider>(*window, "speedControl");
    speed->valueChange(6);
    EXPECT_TRUE(QTest::qWaitFor([] { return Controller::GetInstance()->speed.load() == 64; }));
    QTest::qWait(300);
    const int fast = position();
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() > fast; }, 10000));
    speed->valueChange(2);
    EXPECT_TRUE(QTest::qWaitFor([] { return Controller::GetInstance()->speed.load() == 4; }));
    QTest::qWait(300);
    EXPECT_LT(advance(800), 500);
    speed->valueChange(4);
    button("toolButton_backwards")->click();
    EXPECT_TRUE(button("toolButton_backwards")->isChecked());
    EXPECT_FALSE(button("toolButton_forwards")->isChecked());
    QTest::qWait(600);
    const int back = position();
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() < back - 300; }, 20000)) << position();

    button("toolButton_snapshot")->click();
    EXPECT_EQ(QDir(snaps + "1").entryList({"*.bmp"}).size(), 1);

    const auto visible = [](QWidget* c) { return c->isVisible(); };
    for (const auto& [name, shown] : {std::pair("toolButton_single", 1),
                                      {"toolButton_four", 4},
                                      {"toolButton_eight", 8},
                                      {"toolButton_nine", 9},
                                      {"toolButton_twelve", 12}}) {
        button(name)->click();
        EXPECT_EQ(std::count_if(cells.begin(), cells.end(), visible), shown) << name;
    }
    QWidget* wall = child<QWidget>(*window, "PlayArea");
    button("toolButton_fullScreen")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return wall->isFullScreen(); }));
    QTest::keyClick(wall, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wall->isWindow() && wall->isVisible(); }));

    // A clip of 2..6 s of the selected cell's channel through the dialog.
    const QString clips = QString::fromStdString(dir.file("clips"));
    QSettings().setValue("/CustomSaveDialog/SavePath", clips);
    QDir().mkpath(clips);
    child<CustomSaveSlider>(*window, "slider_save")->SetCutPoint(2000);
    child<CustomSaveSlider>(*window, "slider_save")->SetCutPoint(6000);
    QTimer::singleShot(100, [&] {
        window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    child<QPushButton>(*window, "pushButton_save")->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return lines().contains("cut SU"); }, 10000));
    const QStringList made = QDir(clips).entryList({"*.avi"});
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(made[0].startsWith("20230514083002_NM_0004000_")) << made[0].toStdString();
    const auto probe = testsupport::ffprobe({"-show_entries", "format=duration", "-of", "csv=p=0"},
                                            (clips + "/" + made[0]).toStdString());
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_NEAR(std::atof(probe.out.c_str()), 4.0, 1.1);  // from the key frame at or before 2 s

    button("toolButton_forwards")->click();
    button("toolButton_secframe")->click();  // unpaced: the last 10 s go by at once
    EXPECT_TRUE(QTest::qWaitFor([] { return Controller::GetInstance()->unpaced.load(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->maximum() == 0; }, 30000)) << position();

    QElapsedTimer closing;
    closing.start();
    window.reset();
    EXPECT_LT(closing.elapsed(), testsupport::kExitLimitMs);
    QStringList expected{"Demux exit",      "PlayCtrl exit",    "ReadFileGPS exit",
                         "DrawGPS exit",    "drawGSensor exit", "DrawBackLine exit",
                         "AudioDecode exit"};
    for (int ch = 0; ch < 12; ++ch)
        expected << QString("Decode exit: %1").arg(ch) << QString("Video exit: %1").arg(ch);
    expected.sort();
    QStringList got = lines();
    got.removeAll("cut SU");
    got.sort();
    EXPECT_EQ(got, expected);
}

TEST_F(WindowPlayTest, ClosesWithinTheLimitInEveryState) {
    QVector<QString> paths(12);
    for (int ch = 1; ch <= 4; ++ch)
        paths[ch - 1] = QString::fromStdString(testsupport::testDataDir()) +
                        QString(
                            "/recordings/20230514083000_NM_0004000_0000192032_0320_0240_25_"
                            "00321058_0000000088880001_%1_2305140001_00_642_0000000_V02_000_"
                            "E08_0.avi")
                            .arg(ch, 2, 10, QChar('0'));
    const std::map<QString, const char*> press{{"paused", "toolButton_forwards"},
                                               {"backward", "toolButton_backwards"},
                                               {"stepping", "toolButton_oneframe"}};
    testsupport::TempDir clips;
    QSettings().setValue("/CustomSaveDialog/SavePath", QString::fromStdString(clips.path()));
    for (const QString state : {"idle", "playing", "paused", "backward", "stepping", "cutting"}) {
        g_bSuspend.store(false);
        Controller engine;
        window = std::make_unique<Widget>(nullptr, &engine);
        window->show();
        if (state != "idle") {
            engine.On_PlayAVI(paths, 1);
            ASSERT_TRUE(QTest::qWaitFor([&] { return position() > 500; }, 20000))
                << state.toStdString();
        }
        if (press.count(state))
            button(press.at(state))->click();
        if (state == "cutting")
            emit window->Signal_cut(0, 4000);
        QTest::qWait(state == "cutting" ? 5 : 300);  // queues fill up
        lines().clear();
        QElapsedTimer closing;
        closing.start();
        window.reset();
        EXPECT_LT(closing.elapsed(), testsupport::kExitLimitMs) << state.toStdString();
        lines().removeAll("cut SU");
        EXPECT_EQ(lines().size(), 31) << state.toStdString();
    }
}

}  // namespace
