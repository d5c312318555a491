// The whole engine on the real clock: unpaced throughput of 1, 4 and 12
// channels against as many parallel `ffmpeg -threads 1 -f null` runs on the
// same file, the speed error of paced play, and the CPU of an idle and of a
// paused engine. --latency: how late frames are shown after the clock passed
// their time, at 1X, 4X and 16X on CHANNELS channels. --first: time to the
// first frame after an open and after a seek.
//
// engine_pipeline_bench FILE.avi [FFMPEG]
// engine_pipeline_bench --latency CHANNELS FILE.avi [1X-only]
// engine_pipeline_bench --first FILE.avi
// engine_pipeline_bench --versus CHANNELS ROUNDS FILE.avi [FFMPEG]: engine and
//   ffmpeg in turn, ROUNDS times, each round's figures and the median ratio.
// engine_pipeline_bench --loop CHANNELS SECONDS FILE.avi: unpaced play again
//   and again for a profiler.
// engine_pipeline_bench --rss FILE.avi [reverse]: peak RSS of 12 channels
//   unpaced, forwards or backwards.
// engine_pipeline_bench --speed CHANNELS INDEX FILE.avi: the speed reached
//   beside the nominal one (index 8 is 16X).
// engine_pipeline_bench --idle FILE.avi: CPU and wake-ups of an idle and of a
//   paused engine.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "ProcessCpu.h"
#include "engine/Controller.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {

// Serves the main thread's events for ms without spinning.
void Sleep(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One engine for one measurement; frames are counted and freed at once.
struct Engine {
    Controller controller;
    std::atomic<int> frames{0};
    std::atomic<bool> ended{false};
    QElapsedTimer wall;
    qint64 firstPosition = -1;
    qint64 lastPosition = -1;
    qint64 firstAt = 0;
    qint64 lastAt = 0;
    // Wall-clock us of every frame shown, by channel, and of every position
    // the clock released, in order.
    std::mutex timesMutex;
    std::vector<std::vector<qint64>> shownUs{size_t(Controller::kChannels)};
    std::vector<std::pair<qint64, qint64>> positionUs;  // (us, position)

    qint64 NowUs() const { return wall.nsecsElapsed() / 1000; }

    Engine() {
        for (int ch = 0; ch < Controller::kChannels; ++ch) {
            VideoCtrl* v = controller.videoCtrls[size_t(ch)].get();
            QObject::connect(
                v, &VideoCtrl::Signal_show, v,
                [this, v, ch](uchar* pixels, int, int) {
                    if (pixels) {
                        {
                            std::lock_guard<std::mutex> lock(timesMutex);
                            shownUs[size_t(ch)].push_back(NowUs());
                        }
                        std::free(pixels);
                        v->FrameConsumed();
                        ++frames;
                    }
                },
                Qt::DirectConnection);
        }
        QObject::connect(
            &controller.playCtrl, &PlayCtrl::Signal_updateTime, &controller.playCtrl,
            [this](qint64 position, qint64) {
                if (position >= 0) {
                    std::lock_guard<std::mutex> lock(timesMutex);
                    positionUs.emplace_back(NowUs(), position);
                }
                if (position == StreamMarker::End) {
                    ended.store(true);
                } else if (position >= 0) {
                    lastPosition = position;
                    lastAt = wall.elapsed();
                    if (firstPosition < 0) {
                        firstPosition = position;
                        firstAt = lastAt;
                    }
                }
            },
            Qt::DirectConnection);
        wall.start();
        g_bSuspend.store(false);  // the previous engine's shutdown raised it
        controller.Start();
    }
    ~Engine() { controller.Shutdown(); }

    void Play(const QString& file, int channels) {
        QVector<QString> paths(Controller::kChannels);
        for (int ch = 0; ch < channels; ++ch) {
            paths[ch] = file;
        }
        controller.On_PlayAVI(paths, 1);
    }
    void WaitForEnd(int limitMs) {
        QElapsedTimer t;
        t.start();
        while (!ended.load() && t.elapsed() < limitMs) {
            Sleep(5);
        }
    }
};

double EngineFps(const QString& file, int channels, bool reverse = false) {
    Engine engine;
    engine.controller.unpaced.store(true);
    engine.controller.reverse.store(reverse);
    QElapsedTimer t;
    t.start();
    engine.Play(file, channels);
    engine.WaitForEnd(600000);
    return engine.frames.load() * 1000.0 / double(t.elapsed());
}

double FfmpegFps(const QString& ffmpeg, const QString& file, int channels, int framesPerFile) {
    std::vector<std::unique_ptr<QProcess>> runs;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < channels; ++i) {
        runs.emplace_back(new QProcess);
        runs.back()->start(ffmpeg, {"-nostdin", "-v", "error", "-threads", "1", "-i", file, "-map",
                                    "0:v", "-f", "null", "-"});
    }
    for (auto& run : runs) {
        run->waitForFinished(-1);
    }
    return channels * framesPerFile * 1000.0 / double(t.elapsed());
}

// Media time released per wall time, between the first and the last position.
double SpeedReached(const QString& file, int channels, int speedIndex) {
    Engine engine;
    engine.controller.SpeedChange(speedIndex);
    engine.Play(file, channels);
    engine.WaitForEnd(600000);
    const double media = double(engine.lastPosition - engine.firstPosition);
    const double wall = double(engine.lastAt - engine.firstAt);
    return wall > 0 ? media / wall : 0.0;
}

void SpeedError(const QString& file, int speedIndex, double nominal) {
    std::printf("| paced %gX, 4 channels | speed ratio %.4f |\n", nominal,
                SpeedReached(file, 4, speedIndex) / nominal);
}

// Context switches of every thread of the process so far: its wake-ups.
long Switches() {
    long total = 0;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status("/proc/self/task/" + task + "/status");
        if (!status.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches:")) {
                total += line.split(':').last().trimmed().toLong();
            }
        }
    }
    return total;
}

void IdleCpu(const QString& file) {
    Engine engine;
    const auto measure = [](const char* name) {
        const double cpu = ProcessCpuMs();
        const long switches = Switches();
        QElapsedTimer t;
        t.start();
        Sleep(5000);
        const double ms = double(t.elapsed());
        std::printf("| %s | %.2f %% of a core; %.0f wake-ups/s |\n", name,
                    (ProcessCpuMs() - cpu) * 100.0 / ms,
                    double(Switches() - switches) * 1000.0 / ms);
    };
    measure("idle engine, no recording");
    engine.Play(file, 12);
    Sleep(500);
    engine.controller.On_Pause();
    Sleep(1000);  // queues fill up, then everything waits
    measure("paused engine, 12 channels, full queues");
}

double Percentile(std::vector<qint64> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return double(v[std::min(v.size() - 1, size_t(p * double(v.size())))]);
}

// The n-th frame of a channel is the n-th position the clock released (the
// same file on every channel, played forwards from its start).
void Lateness(const QString& file, int channels, int speedIndex, double nominal) {
    Engine engine;
    engine.controller.SpeedChange(speedIndex);
    engine.Play(file, channels);
    engine.WaitForEnd(600000);
    std::lock_guard<std::mutex> lock(engine.timesMutex);
    const auto& released = engine.positionUs;
    // One frame interval of wall time at this speed.
    const double intervalUs =
        released.size() > 1 ? double(released[1].second - released[0].second) * 1000.0 / nominal
                            : 0;
    std::vector<qint64> late;
    for (int ch = 0; ch < channels; ++ch) {
        const auto& shown = engine.shownUs[size_t(ch)];
        for (size_t n = 0; n < shown.size() && n < released.size(); ++n) {
            late.push_back(shown[n] - released[n].first);
        }
    }
    const auto beyond =
        std::count_if(late.begin(), late.end(), [&](qint64 us) { return double(us) > intervalUs; });
    std::printf(
        "| paced %gX, %d channels | late p50 %.2f ms, p95 %.2f ms, max %.2f ms; %zu frames, %.2f "
        "%% "
        "over one interval |\n",
        nominal, channels, Percentile(late, 0.5) / 1e3, Percentile(late, 0.95) / 1e3,
        Percentile(late, 1.0) / 1e3, late.size(),
        late.empty() ? 0.0 : double(beyond) * 100.0 / double(late.size()));
}

// Open to the first frame of every channel, then a seek to the middle while
// playing to the first frame after the clock's first position of the seek.
void FirstFrame(const QString& file, int channels) {
    Engine engine;
    const qint64 openAt = engine.NowUs();
    engine.Play(file, channels);
    const auto firstShown = [&](qint64 afterUs) {
        qint64 last = -1;
        for (int ch = 0; ch < channels; ++ch) {
            const auto& shown = engine.shownUs[size_t(ch)];
            const auto it = std::upper_bound(shown.begin(), shown.end(), afterUs);
            if (it == shown.end()) {
                return qint64(-1);
            }
            last = std::max(last, *it);
        }
        return last;
    };
    Sleep(3000);
    qint64 opened = 0;
    {
        std::lock_guard<std::mutex> lock(engine.timesMutex);
        opened = firstShown(openAt);
    }
    const qint64 target = 5000;
    const qint64 seekAt = engine.NowUs();
    engine.controller.aviFileRead.Seek(target);
    Sleep(2000);
    std::lock_guard<std::mutex> lock(engine.timesMutex);
    qint64 reported = -1;
    for (const auto& [us, position] : engine.positionUs) {
        if (us > seekAt && position >= target - 1000 && position <= target) {
            reported = us;
            break;
        }
    }
    const qint64 sought = reported < 0 ? -1 : firstShown(reported - 1);
    std::printf("| first frame of all %d channels after open | %.1f ms |\n", channels,
                opened < 0 ? -1.0 : double(opened - openAt) / 1e3);
    std::printf("| first frame of all %d channels after a seek | %.1f ms |\n", channels,
                sought < 0 ? -1.0 : double(sought - seekAt) / 1e3);
}

int FramesPerFile(const QString& ffmpeg, const QString& file) {
    QProcess count;
    count.start(ffmpeg, {"-nostdin", "-v", "error", "-i", file, "-map", "0:v", "-f", "null",
                         "-progress", "-", "-"});
    count.waitForFinished(-1);
    const QString progress = QString::fromLatin1(count.readAllStandardOutput());
    return progress.section("frame=", -1).section('\n', 0, 0).trimmed().toInt();
}

double ChildrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Wall-clock frame rates side by side, and the CPU time each spends per frame
// (the figure a shared machine disturbs least).
void Versus(const QString& file, const QString& ffmpeg, int channels, int rounds) {
    const int framesPerFile = FramesPerFile(ffmpeg, file);
    const double frames = double(channels) * framesPerFile;
    std::vector<double> ratios;
    std::vector<double> cpuRatios;
    for (int round = 0; round < rounds; ++round) {
        double cpu = ProcessCpuMs();
        const double engine = EngineFps(file, channels);
        const double engineCpu = (ProcessCpuMs() - cpu) / frames;
        cpu = ChildrenCpuMs();
        const double reference = FfmpegFps(ffmpeg, file, channels, framesPerFile);
        const double ffmpegCpu = (ChildrenCpuMs() - cpu) / frames;
        ratios.push_back(engine * 100.0 / reference);
        cpuRatios.push_back(ffmpegCpu * 100.0 / engineCpu);
        std::printf(
            "| unpaced, %d channels, round %d | %.0f fps; ffmpeg x%d: %.0f fps; %.0f %%; CPU per "
            "frame %.2f / %.2f ms, %.0f %% |\n",
            channels, round + 1, engine, channels, reference, ratios.back(), engineCpu, ffmpegCpu,
            cpuRatios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(cpuRatios.begin(), cpuRatios.end());
    std::printf(
        "| unpaced, %d channels, median of %d | %.0f %% of ffmpeg's rate; %.0f %% of its "
        "CPU efficiency |\n",
        channels, rounds, ratios[ratios.size() / 2], cpuRatios[cpuRatios.size() / 2]);
}

void Loop(const QString& file, int channels, int seconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000LL) {
        std::printf("%.0f fps\n", EngineFps(file, channels));
    }
}

void PeakRss(const QString& file, bool reverse) {
    const double fps = EngineFps(file, Controller::kChannels, reverse);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("| peak RSS, 12 channels %s | %ld KB (%.2f GiB); %.0f fps |\n",
                reverse ? "backwards" : "forwards", usage.ru_maxrss,
                double(usage.ru_maxrss) / 1024.0 / 1024.0, fps);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 3 && std::strcmp(argv[1], "--latency") == 0) {
        const int channels = std::clamp(std::atoi(argv[2]), 1, Controller::kChannels);
        const QString file = QString::fromLocal8Bit(argv[3]);
        Lateness(file, channels, 4, 1);
        if (argc > 4) {
            return 0;
        }
        Lateness(file, channels, 6, 4);
        Lateness(file, channels, 8, 16);
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--first") == 0) {
        FirstFrame(QString::fromLocal8Bit(argv[2]), 1);
        FirstFrame(QString::fromLocal8Bit(argv[2]), 12);
        return 0;
    }
    if (argc > 4 && std::strcmp(argv[1], "--versus") == 0) {
        Versus(QString::fromLocal8Bit(argv[4]),
               argc > 5 ? QString::fromLocal8Bit(argv[5]) : QString("ffmpeg"),
               std::clamp(std::atoi(argv[2]), 1, Controller::kChannels),
               std::max(1, std::atoi(argv[3])));
        return 0;
    }
    if (argc > 4 && std::strcmp(argv[1], "--loop") == 0) {
        Loop(QString::fromLocal8Bit(argv[4]),
             std::clamp(std::atoi(argv[2]), 1, Controller::kChannels), std::atoi(argv[3]));
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--rss") == 0) {
        PeakRss(QString::fromLocal8Bit(argv[2]), argc > 3);
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--idle") == 0) {
        IdleCpu(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc > 4 && std::strcmp(argv[1], "--speed") == 0) {
        const int channels = std::clamp(std::atoi(argv[2]), 1, Controller::kChannels);
        std::printf("| paced, %d channels, speed index %s | %.2fX reached |\n", channels, argv[3],
                    SpeedReached(QString::fromLocal8Bit(argv[4]), channels, std::atoi(argv[3])));
        return 0;
    }
    if (argc < 2) {
        std::fputs("usage: engine_pipeline_bench FILE.avi [FFMPEG]\n", stderr);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString ffmpeg = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString("ffmpeg");
    const int framesPerFile = FramesPerFile(ffmpeg, file);
    std::printf("| case | figure |\n|---|---|\n");
    for (int channels : {1, 4, 12}) {
        const double engine = EngineFps(file, channels);
        const double reference = FfmpegFps(ffmpeg, file, channels, framesPerFile);
        std::printf("| unpaced, %d channels | %.0f fps; ffmpeg x%d: %.0f fps; %.0f %% |\n",
                    channels, engine, channels, reference, engine * 100.0 / reference);
    }
    SpeedError(file, 4, 1);
    SpeedError(file, 6, 4);
    IdleCpu(file);
    return 0;
}
