// How long the sound output takes to follow a new default device: on a
// PulseAudio server of its own with two null sinks, the time from pactl's
// change of the default sink to the output re-created on it, over many moves
// while sound plays. The watch looks every AudioCtrl::kWatchMs.
//
// engine_device_move_bench [MOVES]
#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "PulseServer.h"
#include "engine/AudioCtrl.h"
#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"

namespace {

constexpr int kDefaultMoves = 40;
constexpr int kWaitMs = 10000;

// The sink the first stream plays on; "" when there is none.
QString StreamSink() {
    return Pactl({"list", "short", "sink-inputs"}).section('\t', 1, 1);
}

// Keeps the ring full of silence, so the output always has sound to pull.
void Fill(SoundBuffer& ring) {
    {
        QueueLock<SoundBuffer> lock(ring);
        char* room = nullptr;
        const qint64 n = ring.LockBuf(&room, SoundBuffer::kCapacity / 2);
        std::fill(room, room + std::max<qint64>(n, 0), 0);
        ring.UnlockBuf(std::max<qint64>(n, 0));
    }
    ring.AfterWrite();
}

double Percentile(std::vector<qint64> v, double p) {
    std::sort(v.begin(), v.end());
    return double(v[std::min(v.size() - 1, size_t(p * double(v.size())))]);
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString socket = runtime.path() + "/native";
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QCoreApplication app(argc, argv);
    const int moves = argc > 1 ? std::max(2, atoi(argv[1])) : kDefaultMoves;

    QProcess server;
    if (!StartPulseServer(server, socket)) {
        std::fprintf(stderr, "no PulseAudio server\n");
        return 1;
    }
    Pactl({"set-default-sink", "one"});

    SoundBuffer ring;
    AudioCtrl audio(&ring);
    audio.SetFormat(8000, 1, 16, "audio/pcm", QAudioFormat::LittleEndian, QAudioFormat::SignedInt);
    Fill(ring);
    audio.Start();
    const auto playsOn = [&](const QString& name) {
        Fill(ring);
        return StreamSink() == Sink(name);
    };
    if (!audio.Output() || !QTest::qWaitFor([&] { return playsOn("one"); }, kWaitMs)) {
        std::fprintf(stderr, "no output on the first sink\n");
        return 1;
    }

    std::vector<qint64> replacedMs;
    std::vector<qint64> playingMs;
    for (int i = 0; i < moves; ++i) {
        const QString target = i % 2 == 0 ? "two" : "one";
        bool replaced = false;
        QObject::connect(audio.Output(), &QObject::destroyed, [&] { replaced = true; });
        QElapsedTimer moved;
        moved.start();
        Pactl({"set-default-sink", target});
        if (!QTest::qWaitFor([&] { return replaced; }, kWaitMs)) {
            std::fprintf(stderr, "move %d: the output stayed\n", i);
            return 1;
        }
        replacedMs.push_back(moved.elapsed());
        if (!QTest::qWaitFor([&] { return playsOn(target); }, kWaitMs)) {
            std::fprintf(stderr, "move %d: no stream on %s\n", i, qPrintable(target));
            return 1;
        }
        playingMs.push_back(moved.elapsed());
    }
    audio.Close();
    server.terminate();
    server.waitForFinished();

    std::printf("moves %d (watch every %d ms)\n", moves, AudioCtrl::kWatchMs);
    std::printf("output re-created: median %.0f ms, p90 %.0f ms, max %.0f ms\n",
                Percentile(replacedMs, 0.5), Percentile(replacedMs, 0.9),
                Percentile(replacedMs, 1.0));
    std::printf("stream seen on the new sink: median %.0f ms, p90 %.0f ms, max %.0f ms\n",
                Percentile(playingMs, 0.5), Percentile(playingMs, 0.9), Percentile(playingMs, 1.0));
    return 0;
}
