// The whole engine on the real clock: unpaced throughput of 1, 4 and 12
// channels against as many parallel `ffmpeg -threads 1 -f null` runs on the
// same file, the speed error of paced play, and the CPU of an idle and of a
// paused engine.
//
// engine_pipeline_bench FILE.avi [FFMPEG]
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

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

double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
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

    Engine() {
        for (auto& video : controller.videoCtrls) {
            VideoCtrl* v = video.get();
            QObject::connect(
                v, &VideoCtrl::Signal_show, v,
                [this, v](uchar* pixels, int, int) {
                    if (pixels) {
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

double EngineFps(const QString& file, int channels) {
    Engine engine;
    engine.controller.unpaced.store(true);
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

void SpeedError(const QString& file, int speedIndex, double nominal) {
    Engine engine;
    engine.controller.SpeedChange(speedIndex);
    engine.Play(file, 4);
    engine.WaitForEnd(600000);
    const double media = double(engine.lastPosition - engine.firstPosition);
    const double wall = double(engine.lastAt - engine.firstAt);
    std::printf("| paced %gX, 4 channels | speed ratio %.4f |\n", nominal,
                wall > 0 ? media / wall / nominal : 0.0);
}

void IdleCpu(const QString& file) {
    Engine engine;
    double cpu = ProcessCpuMs();
    QElapsedTimer t;
    t.start();
    Sleep(5000);
    std::printf("| idle engine, no recording | %.2f %% of a core |\n",
                (ProcessCpuMs() - cpu) * 100.0 / double(t.elapsed()));
    engine.Play(file, 12);
    Sleep(500);
    engine.controller.On_Pause();
    Sleep(1000);  // queues fill up, then everything waits
    cpu = ProcessCpuMs();
    t.restart();
    Sleep(5000);
    std::printf("| paused engine, 12 channels, full queues | %.2f %% of a core |\n",
                (ProcessCpuMs() - cpu) * 100.0 / double(t.elapsed()));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        std::fputs("usage: engine_pipeline_bench FILE.avi [FFMPEG]\n", stderr);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString ffmpeg = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString("ffmpeg");
    QProcess count;
    count.start(ffmpeg, {"-nostdin", "-v", "error", "-i", file, "-map", "0:v", "-f", "null",
                         "-progress", "-", "-"});
    count.waitForFinished(-1);
    const QString progress = QString::fromLatin1(count.readAllStandardOutput());
    const int framesPerFile = progress.section("frame=", -1).section('\n', 0, 0).trimmed().toInt();
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
