// Figures for the map side, as a small program (it needs real threads, files
// and a web page rather than a loop body):
//  1. the whole-file track read of a 60-minute recording by the track reader,
//     against a plain read of the same file;
//  2. under an X server: how many page script calls a second the map page
//     absorbs, and the GUI thread's worst delay while it does.
//
//   telemetry_track_bench <folder for the recording>
// with ORDAVEX_TESTDATA (the media the fixture writer reads) and
// ORDAVEX_SOURCE_DIR (where the writer is) set.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <algorithm>
#include <cstdio>

#include "RecorderFixture.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/Suspend.h"
#include "telemetry/CustomWebView.h"
#include "telemetry/ReadFileGPS.h"
#include "telemetry/ScriptArgs.h"

namespace {

constexpr int kRuns = 3;
constexpr int kHourMs = 3600000;

qint64 PlainReadMs(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray block(1 << 20, '\0');
    while (file.read(block.data(), block.size()) > 0) {
    }
    return timer.elapsed();
}

qint64 TrackReadMs(const QString& path, int* points) {
    g_bSuspend.store(false);
    Controller controller;
    ReadFileGPS reader(&controller, &controller.gpsList, SystemTimeSource::Instance());
    reader.Start();
    QElapsedTimer timer;
    timer.start();
    controller.On_PlayAVI({path}, 1);
    // Done when the reader has read to the end and dropped its request.
    if (!QTest::qWaitFor([&] { return !controller.HasGo(Controller::Reader::Gps); }, 600000)) {
        std::printf("track read timed out\n");
    }
    const qint64 ms = timer.elapsed();
    {
        QueueLock<GPSList> lock(controller.gpsList);
        *points = controller.gpsList.Count();
    }
    controller.Shutdown();  // ends the reader before it goes
    return ms;
}

void MapPage() {
    CustomWebView view;
    view.resize(800, 600);
    view.show();
    view.LoadMap(MapType::OSMap);
    if (!QTest::qWaitFor([&] { return view.IsLoad(); }, 60000)) {
        std::printf("map page did not load\n");
        return;
    }
    // A 10 ms timer measures how late the GUI thread serves it.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last - 10);
        last = clock.elapsed();
    });
    last = clock.elapsed();
    tick.start(10);
    const int kFixes = 2000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kFixes; ++i) {
        const double lat = 22.5 + i * 1e-4, lon = 113.9 + i * 1e-4;
        view.AddTrack(ScriptArgs::TrackArgs("B1", lat, lon),
                      ScriptArgs::CarArgs("B1", lat, lon, i));
        QCoreApplication::processEvents();
    }
    bool done = false;
    view.page()->runJavaScript("OrdavexMap.state().track.length",
                               [&](const QVariant& v) { done = v.toInt() == kFixes; });
    if (!QTest::qWaitFor([&] { return done; }, 120000)) {
        std::printf("the page did not take every fix\n");
    }
    const qint64 ms = timer.elapsed();
    std::printf(
        "| map page, %d fixes (%d script calls) | %lld ms | %.0f calls/s, worst GUI delay %lld ms "
        "|\n",
        kFixes, 2 * kFixes, (long long)ms, 2000.0 * kFixes / ms, (long long)worst);
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const std::string folder = argc > 1 ? argv[1] : "/tmp/ordavex-track-bench/";
    const FixtureFile file = WriteRecording(folder, {"--duration-ms", std::to_string(kHourMs)});
    qint64 plain[kRuns], track[kRuns];
    int points = 0;
    for (int i = 0; i < kRuns; ++i) {
        plain[i] = PlainReadMs(file.path);
        track[i] = TrackReadMs(file.path, &points);
    }
    std::sort(plain, plain + kRuns);
    std::sort(track, track + kRuns);
    std::printf("| plain read, %lld MB | %lld ms | median of %d |\n",
                (long long)(QFile(file.path).size() >> 20), (long long)plain[kRuns / 2], kRuns);
    std::printf("| track read, %d points | %lld ms | median of %d |\n", points,
                (long long)track[kRuns / 2], kRuns);
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        MapPage();
    }
    return 0;
}
