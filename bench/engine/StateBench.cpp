// The engine where one state meets another, on the real clock: CPU and
// thread wake-ups of an idle and of a paused engine, 16X over 4 channels with
// the shortest channel selected against the longest, and the first picture
// after a recording is chosen while paused against while stopped.
//
// engine_state_bench LONG.avi SHORT.avi
//   LONG on channels 1-3 and SHORT on channel 4 (both 720p in the figures).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "ProcessCpu.h"
#include "engine/Controller.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {

constexpr int kMeasureMs = 10000;
constexpr int kSettleMs = 1500;
constexpr int kFourChannels = 4;
constexpr int kSixteenX = 8;
constexpr int kFirstRounds = 10;

void Sleep(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Voluntary context switches of each thread of the process so far, by
// thread id: each is a thread going to sleep, so their rate is the rate of
// wake-ups.
std::map<QString, long long> Switches() {
    std::map<QString, long long> byThread;
    const QDir tasks("/proc/self/task");
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        FILE* f = std::fopen(tasks.filePath(task + "/status").toLocal8Bit().constData(), "r");
        if (!f) {
            continue;
        }
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            long long n = 0;
            if (std::sscanf(line, "voluntary_ctxt_switches: %lld", &n) == 1) {
                byThread[task] = n;
            }
        }
        std::fclose(f);
    }
    return byThread;
}

struct Engine {
    Controller controller;
    QElapsedTimer wall;
    std::atomic<qint64> endAt{-1};
    std::atomic<qint64> firstShownAt{-1};

    Engine() {
        wall.start();
        for (int ch = 0; ch < Controller::kChannels; ++ch) {
            VideoCtrl* v = controller.videoCtrls[size_t(ch)].get();
            QObject::connect(
                v, &VideoCtrl::Signal_show, v,
                [this, v](uchar* pixels, int, int) {
                    if (!pixels) {
                        return;
                    }
                    qint64 none = -1;
                    firstShownAt.compare_exchange_strong(none, wall.nsecsElapsed() / 1000);
                    std::free(pixels);
                    v->FrameConsumed();
                },
                Qt::DirectConnection);
        }
        QObject::connect(
            &controller.playCtrl, &PlayCtrl::Signal_updateTime, &controller.playCtrl,
            [this](qint64 position, qint64) {
                if (position == StreamMarker::End) {
                    endAt.store(wall.nsecsElapsed() / 1000);
                }
            },
            Qt::DirectConnection);
        g_bSuspend.store(false);
        controller.Start();
    }
    ~Engine() { controller.Shutdown(); }

    void Open(const QVector<QString>& paths, int selected) {
        endAt.store(-1);
        firstShownAt.store(-1);
        controller.On_PlayAVI(paths, selected);
    }
    bool WaitFor(const std::atomic<qint64>& at, int ms) {
        QElapsedTimer t;
        t.start();
        while (at.load() < 0 && t.elapsed() < ms) {
            Sleep(1);
        }
        return at.load() >= 0;
    }
};

QVector<QString> Recording(const QString& longFile, const QString& shortFile) {
    QVector<QString> paths(Controller::kChannels);
    for (int ch = 0; ch < kFourChannels - 1; ++ch) {
        paths[ch] = longFile;
    }
    paths[kFourChannels - 1] = shortFile;
    return paths;
}

// CPU and wake-ups over kMeasureMs; the busiest threads' rates after it.
void Cpu(const char* what) {
    const double cpu = ProcessCpuMs();
    const std::map<QString, long long> before = Switches();
    QElapsedTimer t;
    t.start();
    Sleep(kMeasureMs);
    const double ms = double(t.elapsed());
    const double used = ProcessCpuMs() - cpu;
    std::vector<double> rates;
    double total = 0;
    for (const auto& [task, n] : Switches()) {
        const auto was = before.find(task);
        const double rate = double(n - (was == before.end() ? 0 : was->second)) * 1000.0 / ms;
        rates.push_back(rate);
        total += rate;
    }
    std::sort(rates.rbegin(), rates.rend());
    QStringList busiest;
    for (size_t i = 0; i < rates.size() && i < 4; ++i) {
        busiest << QString::number(rates[i], 'f', 0);
    }
    const auto tenOrMore =
        std::count_if(rates.begin(), rates.end(), [](double r) { return r >= 9; });
    std::printf(
        "| %s | %.2f %% of a core | %.0f wake-ups/s; busiest threads %s/s; %d threads at 9/s or "
        "more |\n",
        what, used * 100.0 / ms, total, busiest.join(", ").toLatin1().constData(), int(tenOrMore));
}

void IdleAndPaused(const QVector<QString>& paths) {
    Engine engine;
    Sleep(kSettleMs);
    Cpu("idle engine, no recording");
    engine.Open(paths, 1);
    Sleep(kSettleMs);
    engine.controller.On_Pause();
    Sleep(kSettleMs);  // the queues fill, then everything waits
    Cpu("paused, 4 channels, queues full");
    engine.controller.On_Stop();
    Sleep(kSettleMs);
    Cpu("stopped after playing");
}

void SixteenX(const QVector<QString>& paths) {
    for (int selected : {1, kFourChannels}) {
        Engine engine;
        engine.controller.SpeedChange(kSixteenX);
        const qint64 from = engine.wall.nsecsElapsed() / 1000;
        engine.Open(paths, selected);
        const bool ended = engine.WaitFor(engine.endAt, 600000);
        std::printf("| 16X, 4 channels, channel %d selected (%s) | %.2f s to the End |\n", selected,
                    selected == 1 ? "long" : "short",
                    ended ? double(engine.endAt.load() - from) / 1e6 : -1.0);
    }
}

// Median over rounds of the time from the choice to the first picture.
void FirstPicture(const QVector<QString>& paths) {
    Engine engine;
    for (const bool paused : {false, true}) {
        std::vector<double> ms;
        for (int round = 0; round < kFirstRounds; ++round) {
            engine.Open(paths, 1);
            engine.WaitFor(engine.firstShownAt, 10000);
            Sleep(300);
            if (paused) {
                engine.controller.On_Pause();
            } else {
                engine.controller.On_Stop();
            }
            Sleep(300);
            const qint64 from = engine.wall.nsecsElapsed() / 1000;
            engine.Open(paths, 1);
            ms.push_back(engine.WaitFor(engine.firstShownAt, 10000)
                             ? double(engine.firstShownAt.load() - from) / 1e3
                             : -1.0);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("| first picture after a choice while %s | median %.1f ms, max %.1f ms |\n",
                    paused ? "paused" : "stopped", ms[ms.size() / 2], ms.back());
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("PULSE_SERVER", "unix:/nonexistent");  // no sound device, and none spawned
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 3) {
        std::fputs("usage: engine_state_bench LONG.avi SHORT.avi\n", stderr);
        return 2;
    }
    const QVector<QString> paths =
        Recording(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    std::printf("| case | figure | |\n|---|---|---|\n");
    IdleAndPaused(paths);
    SixteenX(paths);
    FirstPicture(paths);
    return 0;
}
