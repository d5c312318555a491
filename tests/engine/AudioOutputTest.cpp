// The sound output on a PulseAudio server of the test's own with two null
// sinks; pactl and parec are the oracles for where and how loud it plays.
#include <gtest/gtest.h>

#include <QAudioOutput>
#include <QProcess>
#include <QTest>

#include "PulseServer.h"
#include "SoundRing.h"
#include "engine/AudioCtrl.h"

namespace {

QProcess server;

// "index\tsink" of the first stream; "" when there is none.
QString Stream() {
    return Pactl({"list", "short", "sink-inputs"}).section('\t', 0, 1);
}

// Mean magnitude of what the sink plays, recorded from its monitor while the
// event loop runs (Qt feeds the stream from it); -1 when too little came.
double Level(const QString& sink) {
    QProcess parec;
    parec.start("parec", {"--raw", "--format=s16le", "--channels=1", "--latency-msec=20", "-d",
                          sink + ".monitor"});
    QByteArray raw;
    (void)QTest::qWaitFor([&] { return (raw += parec.readAllStandardOutput()).size() > 16000; },
                          10000);
    parec.kill();
    parec.waitForFinished();
    double sum = 0;
    for (int i = 1600; i + 1 < raw.size(); i += 2)
        sum += std::abs(int16_t((raw[i] & 255) | raw[i + 1] << 8));
    return raw.size() > 8000 ? sum * 2 / (raw.size() - 1600) : -1;
}

class PulseOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/native";
        ASSERT_TRUE(StartPulseServer(server, socket));
    }
    static void TearDownTestSuite() {
        server.terminate();
        server.waitForFinished();
    }
    void SetUp() override {
        Pactl({"set-default-sink", "one"});
        audio.SetFormat(8000, 1, 16, "audio/pcm", QAudioFormat::LittleEndian,
                        QAudioFormat::SignedInt);
    }
    SoundBuffer ring;
    AudioCtrl audio{&ring};
};

// Started, paused, moved to a new default sink while paused (still paused,
// same format), resumed; the pull is read from the ring.
TEST_F(PulseOutput, FollowsTheDefaultSinkAndKeepsThePause) {
    ASSERT_TRUE(WriteRing(ring, SoundBuffer::kCapacity, 1));
    audio.Start();
    ASSERT_TRUE(audio.Output() && ring.ReaderRunning());
    EXPECT_TRUE(QTest::qWaitFor([] { return Stream().endsWith('\t' + Sink("one")); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Buffered(ring) < SoundBuffer::kCapacity; }, 10000));
    audio.Suspend();
    const QAudioFormat format = audio.Output()->format();
    bool replaced = false;
    QObject::connect(audio.Output(), &QObject::destroyed, [&] { replaced = true; });
    Pactl({"set-default-sink", "two"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return replaced; }, 10000));
    EXPECT_EQ(audio.Output()->format(), format);
    // The old stream is gone: the one there is, is ours.
    EXPECT_TRUE(QTest::qWaitFor([] { return Stream().endsWith('\t' + Sink("two")); }, 10000));
    const qint64 paused = Buffered(ring);
    QTest::qWait(300);
    EXPECT_EQ(Buffered(ring), paused);
    audio.Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Buffered(ring) < paused; }, 10000));
}

// Qt scales the samples it hands the server, so the volume is measured in
// what the sink plays: a constant signal at volume 50, then muted.
TEST_F(PulseOutput, VolumeSetBeforeStartAndMuteReachTheSink) {
    audio.SetVolume(50);
    audio.Start();
    ASSERT_TRUE(WriteRing(ring, 96000, 8000));  // 6 s
    const double linear =
        QAudio::convertVolume(0.5, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale);
    EXPECT_NEAR(Level("one"), 8000 * linear, 80);
    audio.SetVolume(0);
    QTest::qWait(300);
    const double muted = Level("one");
    EXPECT_TRUE(muted >= 0 && muted < 1) << muted;
}

}  // namespace
