// The sound output on a PulseAudio server of the test's own with two null
// sinks; pactl is the oracle for where the stream plays and at what volume.
#include <gtest/gtest.h>

#include <QAudioOutput>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "Command.h"
#include "engine/AudioCtrl.h"
#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"

using testsupport::runCommand;

namespace {

QProcess* server = nullptr;

std::string Pactl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv).out;
}

// Fields of the first line of `pactl list short <what>` whose field key is
// value (any line for key -1); empty when none.
std::vector<std::string> Short(const std::string& what, int key = -1,
                               const std::string& value = {}) {
    std::istringstream lines(Pactl({"list", "short", what}));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; fields >> x;)
            f.push_back(x);
        if (f.size() > 1 && (key < 0 || f[key] == value))
            return f;
    }
    return {};
}

// Index and sink of our stream, "" when there is none.
std::string Stream() {
    const std::vector<std::string> f = Short("sink-inputs");
    return f.empty() ? "" : f[0] + "@" + f[1];
}
std::string Sink(const std::string& name) {
    const std::vector<std::string> f = Short("sinks", 1, name);
    return f.empty() ? "" : f[0];
}

// Mean magnitude of what the sink plays, recorded from its monitor as mono
// 16-bit samples while the event loop runs (Qt feeds the stream from it);
// the first 50 ms of the recording are left out. -1 when parec gave too little.
double Level(const std::string& sink) {
    QProcess parec;
    parec.start("parec", {"--raw", "--format=s16le", "--channels=1", "--rate=8000",
                          "--latency-msec=20", "-d", QString::fromStdString(sink + ".monitor")});
    QByteArray raw;
    QTest::qWaitFor([&] { return (raw += parec.readAllStandardOutput()).size() > 8000; }, 3000);
    parec.kill();
    parec.waitForFinished();
    double sum = 0;
    int n = 0;
    for (int i = 800; i + 1 < raw.size(); i += 2, ++n)
        sum += std::abs(int16_t(uint8_t(raw[i]) | uint8_t(raw[i + 1]) << 8));
    return n > 1000 ? sum / n : -1;
}

class PulseOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const QString socket = dir + "/native";
        qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
        server = new QProcess;
        server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server->start(
            "pulseaudio",
            {"--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no", "--disable-shm",
             "-L", "module-null-sink sink_name=one", "-L", "module-null-sink sink_name=two", "-L",
             "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        ASSERT_TRUE(QTest::qWaitFor([] { return !Sink("two").empty(); }, 10000));
    }
    static void TearDownTestSuite() {
        server->terminate();
        server->waitForFinished();
        delete server;
    }
    void SetUp() override {
        Pactl({"set-default-sink", "one"});
        audio.SetFormat(8000, 1, 16, "audio/pcm", QAudioFormat::LittleEndian,
                        QAudioFormat::SignedInt);
    }
    qint64 Buffered() {
        QueueLock<SoundBuffer> lock(ring);
        return ring.GetBufDataLen();
    }
    void Write(const std::vector<int16_t>& pcm) {
        const qint64 bytes = qint64(pcm.size()) * 2;
        QueueLock<SoundBuffer> lock(ring);
        char* room = nullptr;
        ASSERT_GE(ring.LockBuf(&room, bytes), bytes);
        std::memcpy(room, pcm.data(), size_t(bytes));
        ring.UnlockBuf(bytes);
    }

    SoundBuffer ring;
    AudioCtrl audio{&ring};
};

TEST_F(PulseOutput, StartsOnTheDefaultSinkAndIsRecreatedOnTheNewOne) {
    audio.Start();
    ASSERT_NE(audio.Output(), nullptr);
    EXPECT_TRUE(ring.ReaderRunning());
    std::string first;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (first = Stream()) != ""; }, 2000));
    EXPECT_EQ(first.substr(first.find('@') + 1), Sink("one"));
    const QAudioFormat format = audio.Output()->format();
    QElapsedTimer moved;
    moved.start();
    Pactl({"set-default-sink", "two"});
    // A new stream (new index) on the new sink; the server may move the old one by itself.
    const std::string index = first.substr(0, first.find('@') + 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::string now = Stream();
            return now.rfind(index, 0) != 0 &&
                   now == now.substr(0, now.find('@') + 1) + Sink("two");
        },
        2000));
    EXPECT_LT(moved.elapsed(), 300);
    EXPECT_EQ(audio.Output()->format(), format);
}

TEST_F(PulseOutput, PauseStopsThePullAndResumeRestartsIt) {
    Write(std::vector<int16_t>(SoundBuffer::kCapacity / 2, 1));
    audio.Start();
    QTest::qWait(300);
    EXPECT_LT(Buffered(), SoundBuffer::kCapacity);
    audio.Suspend();
    QTest::qWait(100);
    const qint64 paused = Buffered();
    QTest::qWait(300);
    EXPECT_EQ(Buffered(), paused);
    audio.Resume();
    QTest::qWait(300);
    EXPECT_LT(Buffered(), paused);
}

// Qt scales the samples it hands the server, so the volume is measured in
// what the sink plays: a constant signal at volume 50, then muted.
TEST_F(PulseOutput, VolumeSetBeforeStartAndMuteReachTheSink) {
    constexpr int16_t kSignal = 8000;
    audio.SetVolume(50);
    audio.Start();
    std::vector<int16_t> pcm(8000, kSignal);  // 1 s
    for (int i = 0; i < 6; ++i)
        Write(pcm);
    const double linear =
        QAudio::convertVolume(0.5, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale);
    EXPECT_NEAR(Level("one"), kSignal * linear, kSignal * 0.01);
    audio.SetVolume(0);
    QTest::qWait(300);
    const double muted = Level("one");
    EXPECT_TRUE(muted >= 0 && muted < 1) << muted;
}

}  // namespace
