// The main window playing 12 channels of 1280 x 720 at 25 fps: time from the
// double-click to a first frame on every cell, then the GUI thread's load
// over ten seconds (its own CPU time per wall second) and its longest stall
// (how late a 10 ms timer fires). Run under Xvfb (the variable for root):
//   bash scripts/with-xvfb.sh env QTWEBENGINE_DISABLE_SANDBOX=1 build-bench/bin/window_bench
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <array>
#include <cstdio>

#include "Command.h"
#include "TempDir.h"
#include "app/Widget.h"
#include "browser/CustomSearchList.h"
#include "engine/Controller.h"

namespace {

constexpr int kChannels = 12;
constexpr int kSeconds = 30;
constexpr int kLoadMs = 10000;
constexpr int kTickMs = 10;

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// One ffmpeg-made 720p file, copied under the recorder's names of channels 1 to 12.
bool makeRecording(const std::string& folder) {
    const std::string source = folder + "/source.avi";
    const auto made = testsupport::ffmpeg(
        {"-f",      "lavfi",
         "-i",      "testsrc2=size=1280x720:rate=25:duration=" + std::to_string(kSeconds),
         "-f",      "lavfi",
         "-i",      "sine=sample_rate=8000:duration=" + std::to_string(kSeconds),
         "-c:v",    "libx264",
         "-preset", "veryfast",
         "-g",      "25",
         "-bf",     "0",
         "-b:v",    "2M",
         "-c:a",    "adpcm_ms",
         "-ac",     "1",
         source});
    if (made.exitCode != 0)
        return false;
    for (int ch = 1; ch <= kChannels; ++ch) {
        const QString name = QString(
                                 "%1/20230514083000_NM_%2_0001000000_1280_0720_25_02000000_"
                                 "0000000088880001_%3_2305140001_00_642_0000000_V02_000_E08_0.avi")
                                 .arg(QString::fromStdString(folder))
                                 .arg(kSeconds * 1000, 7, 10, QChar('0'))
                                 .arg(ch, 2, 10, QChar('0'));
        if (!QFile::copy(QString::fromStdString(source), name))
            return false;
    }
    return QFile::remove(QString::fromStdString(source));
}

}  // namespace

int main(int argc, char** argv) {
    // The settings of a scratch home: the offline OpenStreetMap page.
    testsupport::TempDir dir;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.file("config")));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setOrganizationName("BRAVELO");
    QCoreApplication::setApplicationName("Ordavex");
    QApplication app(argc, argv);
    QSettings().setValue("/SettingsWidget/MapType", 3);
    if (!makeRecording(dir.path())) {
        std::fprintf(stderr, "ffmpeg failed\n");
        return 1;
    }
    Widget window;
    window.resize(1920, 1080);
    window.show();
    auto* list = window.findChild<CustomSearchList*>("page_filelist");
    list->loadFolder(QString::fromStdString(dir.path()));
    auto* view = list->findChild<QTableView*>("tableView");

    Controller* engine = Controller::GetInstance();
    QElapsedTimer pageLoad;
    pageLoad.start();
    while (!engine->mapLoaded.load() && pageLoad.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer clock;
    std::array<qint64, kChannels> first{};
    first.fill(-1);
    int waiting = kChannels;
    for (int ch = 0; ch < kChannels; ++ch) {
        QObject::connect(engine->videoCtrls[size_t(ch)].get(), &VideoCtrl::Signal_show, &window,
                         [&, ch](uchar* frame, int, int) {
                             if (frame && first[size_t(ch)] < 0) {
                                 first[size_t(ch)] = clock.elapsed();
                                 --waiting;
                             }
                         });
    }
    clock.start();
    emit view->doubleClicked(view->model()->index(0, 0));
    while (waiting > 0 && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 allShown = *std::max_element(first.begin(), first.end());

    qint64 longest = 0;
    QElapsedTimer tick;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { longest = std::max(longest, tick.restart() - kTickMs); });
    const double cpu0 = threadCpuMs();
    QElapsedTimer span;
    span.start();
    tick.start();
    timer.start(kTickMs);
    while (span.elapsed() < kLoadMs)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double load = (threadCpuMs() - cpu0) / double(span.elapsed());
    std::printf("map page loaded: %s\n", engine->mapLoaded.load() ? "yes" : "no");
    std::printf("double-click to a frame on all %d cells: %lld ms (first cell %lld ms)\n",
                kChannels, allShown, *std::min_element(first.begin(), first.end()));
    std::printf("GUI thread over %d s: %.0f %% of one core, longest stall %lld ms\n",
                kLoadMs / 1000, load * 100, longest);
    return allShown < 0 ? 1 : 0;
}
