// The sound of a recording played by the whole engine at 1X with no sound
// device (the silent sink pulls): how long after Play and after a seek the
// first PCM is taken from the ring, and the drift between the sound taken
// (first packet's time + samples taken) and the playback clock over the run.
//
// engine_audio_play_bench FILE.avi [SECONDS] [SEEK_RUNS]
// FILE must be longer than SECONDS + 10.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/Controller.h"
#include "engine/QueueLock.h"

namespace {

// A take whose sound ends this close after the seek target is the new sound
// (the file is longer than the drift run, so the old sound ends far later).
constexpr qint64 kNewSoundMs = 5000;

void Sleep(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Engine {
    Controller controller;
    QElapsedTimer wall;
    qint64 bytes = 0;         // GUI thread
    qint64 firstTakeAt = -1;  // ms of wall
    qint64 seekTarget = -1;   // after a seek: takes of the old sound do not count

    Engine() {
        for (auto& video : controller.videoCtrls) {
            VideoCtrl* v = video.get();
            QObject::connect(
                v, &VideoCtrl::Signal_show, v,
                [v](uchar* pixels, int, int) {
                    if (pixels) {
                        std::free(pixels);
                        v->FrameConsumed();
                    }
                },
                Qt::DirectConnection);
        }
        controller.audioCtrl.SetTap([this](const char*, qint64 n) {
            bytes += n;
            qint64 end = 0;
            {
                QueueLock<SoundBuffer> lock(controller.soundBuffer);
                end = controller.soundBuffer.EndDts();
            }
            if (firstTakeAt < 0 && (seekTarget < 0 || end <= seekTarget + kNewSoundMs)) {
                firstTakeAt = wall.elapsed();
            }
        });
        controller.Start();
        wall.start();
    }
    // Waits up to limitMs for the first take since the last reset; its delay.
    qint64 FirstTake(qint64 from, int limitMs) {
        while (firstTakeAt < 0 && wall.elapsed() - from < limitMs) {
            Sleep(1);
        }
        return firstTakeAt < 0 ? -1 : firstTakeAt - from;
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: engine_audio_play_bench FILE.avi [SECONDS] [SEEK_RUNS]\n", stderr);
        return 2;
    }
    const QVector<QString> paths{QString::fromLocal8Bit(argv[1])};
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int seekRuns = argc > 3 ? std::atoi(argv[3]) : 20;
    Engine e;
    Sleep(300);  // workers up, output open
    const qint64 playAt = e.wall.elapsed();
    e.controller.On_PlayAVI(paths, 1);
    std::printf("first PCM after Play: %lld ms\n",
                static_cast<long long>(e.FirstTake(playAt, 5000)));
    // Drift: sound position against the clock, once a second.
    const double rate = e.controller.AudioSampleRate();
    qint64 worst = 0, last = 0;
    for (int s = 0; s < seconds; ++s) {
        Sleep(1000);
        const qint64 sound = qint64(e.bytes / 2 * 1000 / rate);
        last = sound - e.controller.clock.load();
        worst = std::max(worst, std::abs(last));
    }
    std::printf("drift after %d s: %lld ms (worst %lld ms)\n", seconds,
                static_cast<long long>(last), static_cast<long long>(worst));
    std::vector<qint64> delays;
    for (int i = 0; i < seekRuns; ++i) {
        e.firstTakeAt = -1;
        e.seekTarget = 1000 * (i % 5);
        const qint64 at = e.wall.elapsed();
        e.controller.aviFileRead.Seek(e.seekTarget);
        const qint64 d = e.FirstTake(at, 5000);
        delays.push_back(d);
        Sleep(500);
    }
    std::sort(delays.begin(), delays.end());
    if (!delays.empty()) {
        std::printf("first PCM after a seek: median %lld ms, max %lld ms (%d runs)\n",
                    static_cast<long long>(delays[delays.size() / 2]),
                    static_cast<long long>(delays.back()), seekRuns);
    }
    e.controller.Shutdown();
    return 0;
}
