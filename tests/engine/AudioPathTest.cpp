// The audio path without a sound device: the decode worker's PCM against the
// ffmpeg tool, the silent sink's pace, and the reopen at a stream's rate.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <thread>

#include "AviFile.h"
#include "CodecTestSupport.h"
#include "Limits.h"
#include "ManualTimeSource.h"
#include "SoundRing.h"
#include "TestData.h"
#include "engine/AudioCtrl.h"
#include "engine/AudioDevice.h"
#include "engine/Controller.h"
#include "engine/SilentSink.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

using codectest::Bytes;
using testsupport::testDataFile;

namespace {

Bytes Ffmpeg(const std::string& file, int rate) {
    return codectest::ffmpegOutput(testDataFile(file), {"-map", "0:a", "-ac", "1", "-ar",
                                                        std::to_string(rate), "-f", "s16le"});
}

struct AudioPacket {
    int id;
    qint64 dts;
    Bytes data;
};

// The file's audio packets as the demux routes them (at most limit).
std::vector<AudioPacket> AudioPackets(const std::string& file, int limit = 1 << 30) {
    std::vector<AudioPacket> out;
    containertest::AviFile avi;
    EXPECT_EQ(avi.open(testDataFile(file)), 0) << file;
    for (containertest::ProbePacket p; int(out.size()) < limit && avi.readOne(&p) >= 0;) {
        const container::AVStream* st = avi.ctx()->streams[p.stream];
        if (st->codec->codec_type == container::CODEC_TYPE_AUDIO) {
            const unsigned char* data = avi.packet()->data;
            out.push_back({st->codec->codec_id,
                           st->time_base.num * p.dts * 1000 / st->time_base.den,
                           Bytes(data, data + avi.packet()->size)});
        }
    }
    return out;
}

class AudioPath : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("PULSE_SERVER", "unix:/nonexistent");  // no device, and none spawned
        g_bSuspend.store(false);
        ring.SetReaderRunning(true);
    }
    void TearDown() override {
        c.Shutdown();
        c.audioDecoderCtrl.Wait();
        g_bSuspend.store(false);
    }
    // Offers the file's audio packets as the demux would (at most limit, with
    // codec id id when given), reading the ring meanwhile as an output would.
    void Feed(const std::string& file, int id = 0, int limit = 1 << 30) {
        for (const AudioPacket& p : AudioPackets(file, limit)) {
            Push(id ? id : p.id, p.dts, p.data.data(), int(p.data.size()));
            if (HasFatalFailure())
                return;
        }
    }
    // Gives up after 10 s of a full queue: a worker that stopped taking fails
    // the test, it does not hang it.
    void Push(int id, qint64 dts, const unsigned char* data, int size) {
        for (int ms = 0; c.InputAudioData(id, dts, data, size) == QueueInput::Full; ++ms) {
            ASSERT_LT(ms, 10000) << "the worker stopped taking packets";
            ReadRing(ring, &pcm);
            QThread::msleep(1);
        }
    }
    // Ends the stream and reads until the worker has written everything: it
    // takes the second End marker only after it drained for the first.
    void End() {
        for (int marker = 0; marker < 2 && !HasFatalFailure(); ++marker)
            Push(0, StreamMarker::End, nullptr, 0);
        for (int ms = 0; WithLock(c.audioQueue, [&] { return c.audioQueue.Count() > 0; }); ++ms) {
            ASSERT_LT(ms, 10000) << "the worker stopped taking packets";
            ReadRing(ring, &pcm);
            QThread::msleep(1);
        }
        ReadRing(ring, &pcm);
    }
    Controller c{SystemTimeSource::Instance()};
    SoundBuffer& ring = c.soundBuffer;
    Bytes pcm;
};

class AudioPathPcm : public AudioPath, public ::testing::WithParamInterface<int> {};

// ADPCM, packets no decoder takes, then AAC, played at the output's rate:
// every sample of both streams as ffmpeg gives them, the sound's end time
// at the end of the AAC stream.
TEST_P(AudioPathPcm, CodecChangesSwitchDecodersAndKeepEverySample) {
    const int rate = GetParam();
    c.SetAudioFormat(Controller::PcmFormat(rate), {});
    c.audioDecoderCtrl.Start();
    Feed("h264_adpcm_ms.avi");
    Feed("h264_aac.avi", 0x15000, 5);
    Feed("h264_aac.avi");
    End();
    Bytes theirs = Ffmpeg("h264_adpcm_ms.avi", rate), aac = Ffmpeg("h264_aac.avi", rate);
    theirs.insert(theirs.end(), aac.begin(), aac.end());
    EXPECT_TRUE(pcm == theirs) << pcm.size() << " bytes, ffmpeg " << theirs.size();
    EXPECT_NEAR(ring.EndDts(), qint64(aac.size()) / 2 * 1000 / rate, 2);
}

INSTANTIATE_TEST_SUITE_P(Rates, AudioPathPcm, ::testing::Values(8000, 16000));

// Seeks (queue resets) and rate changes while packets flow; then nothing is
// written (nor waited for) while no output runs, and a clean play is exact.
TEST_F(AudioPath, StressOfSeeksAndRateChangesLeavesAWorkingPath) {
    c.audioDecoderCtrl.Start();
    const auto seek = [&] {
        ring.TakeReset();
        WithLock(c.audioQueue, [&] { c.audioQueue.Clear(); });
        c.InterruptWaits();  // as the controller's Clear does
    };
    for (int round = 0; round < 40; ++round) {
        Feed(round % 3 ? "h264_aac.avi" : "h264_adpcm_ms.avi", 0, 10 + round);
        seek();
        c.SetAudioFormat(Controller::PcmFormat(round % 2 ? 16000 : 8000), {});
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return ring.TakeReset(); }, 2000));
    c.SetAudioFormat(Controller::PcmFormat(8000), {});
    pcm.clear();
    ring.SetReaderRunning(false);
    Feed("h264_adpcm_ms.avi");  // more than the ring holds
    End();
    EXPECT_TRUE(pcm.empty());
    ring.SetReaderRunning(true);
    Feed("h264_adpcm_ms.avi");
    End();
    EXPECT_TRUE(pcm == Ffmpeg("h264_adpcm_ms.avi", 8000));
}

// No device: the silent sink pulls, never ahead of 2 bytes a sample at the
// format's rate, and nothing while paused. Stream rates from the demux thread
// reopen the output once per change, and it stays paused; exit ends a request
// that waits.
TEST_F(AudioPath, SilentSinkReopensWhilePausedAndExitDuringAReopen) {
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    c.audioReopen.Open(16000);
    ASSERT_TRUE(c.audioCtrl.Silent() && WriteRing(ring, 32000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Buffered(ring) < 32000; }, 10000));
    c.audioCtrl.Suspend();
    EXPECT_LE(32000 - Buffered(ring), sinceOpen.elapsed() * 32) << "ahead of real time";
    std::atomic<int> reopens{0};
    std::thread demux([&] {
        for (int rate : {16000, 8000, 8000, 0, 16000, 16000, 8000}) {
            if (c.audioReopen.NeedsReopen(rate)) {
                c.ChangeFreqHz(rate);
                EXPECT_EQ(c.AudioSampleRate(), rate);
                ++reopens;
            }
        }
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return reopens == 3; }, 10000));
    demux.join();
    EXPECT_EQ(reopens, 3);
    ASSERT_TRUE(WriteRing(ring, 16000));
    QTest::qWait(300);
    EXPECT_EQ(Buffered(ring), 16000);
    WithLock(ring, [&] { ring.SetEndDts(10000); });
    EXPECT_EQ(c.audioCtrl.GetCurrentDts(), 9000);  // 1 s of sound is still to play
    c.audioCtrl.Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Buffered(ring) < 16000; }, 10000));
    // The GUI thread serves no events now: only the exit flag ends the wait.
    QElapsedTimer waited;
    waited.start();
    std::thread late([&] { EXPECT_FALSE(c.audioReopen.Request(16000)); });
    QThread::msleep(100);
    g_bSuspend.store(true);
    late.join();
    EXPECT_LT(waited.elapsed(), testsupport::kExitLimitMs);
}

// On a clock of its own the sink pulls exactly 2 bytes a sample at the rate
// it was given, from the moment it was started, never ahead of the clock.
TEST(SilentSinkTicks, PullsAtTheRateOnItsClock) {
    ManualTimeSource time;
    SoundBuffer ring;
    AudioDevice device(&ring);
    device.open(QIODevice::ReadOnly);
    SilentSink sink(
        &device, [&] { return Buffered(ring) > 0; }, &time);
    ASSERT_TRUE(WriteRing(ring, 32000));
    sink.Start(32000);  // 16 kHz mono 16-bit
    time.AdvanceTo(500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Buffered(ring) <= 16000; }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(Buffered(ring), 16000);
    time.AdvanceTo(1000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sink.IsTicking(); }, 10000));
    EXPECT_EQ(Buffered(ring), 0);
}

// Sound is routed to the worker as soon as its Start returns, not once its
// thread first runs: on a busy machine the thread starts late, and the
// demux would drop the first packets of the recording meanwhile.
TEST_F(AudioPath, TakesSoundFromTheMomentItIsStarted) {
    for (int i = 0; i < 20; ++i) {
        AudioDecoderCtrl worker(&c, &ring, &c.audioQueue, SystemTimeSource::Instance());
        worker.Start();
        EXPECT_TRUE(c.audioDecoding.load()) << "start " << i;
        g_bSuspend.store(true);
        SystemTimeSource::Instance()->InterruptWaits();
        worker.Wait();
        g_bSuspend.store(false);
        EXPECT_FALSE(c.audioDecoding.load()) << "after exit " << i;
    }
}

// The worker on virtual time, which moves only when the test says: a packet
// and room in the ring are taken at once, with no time passing, and an
// output that stops pulling for a minute loses nothing: the sound plays late.
TEST(AudioWorker, WakesOnItsCausesAndWaitsOutAnOutputThatFallsBehind) {
    g_bSuspend.store(false);
    ManualTimeSource time;
    Controller c(&time);  // releases the worker on every way out
    SoundBuffer& ring = c.soundBuffer;
    ring.SetReaderRunning(true);
    c.SetAudioFormat(Controller::PcmFormat(8000), {});
    c.audioDecoderCtrl.Start();
    std::vector<AudioPacket> packets = AudioPackets("h264_adpcm_ms.avi");
    const std::vector<AudioPacket> once = packets;
    packets.insert(packets.end(), once.begin(), once.end());  // more than the ring holds
    ASSERT_GT(packets.size(), 2u);
    Bytes pcm;
    size_t next = 0;
    const auto push = [&] {
        const AudioPacket& p = packets[next];
        if (c.InputAudioData(p.id, p.dts, p.data.data(), int(p.data.size())) != QueueInput::Full)
            ++next;
    };
    ASSERT_TRUE(time.Sleeping());
    push();
    ASSERT_TRUE(time.Sleeping());
    EXPECT_GT(Buffered(ring), 0) << "the packet waited for the clock";
    // Nothing pulls: the ring and then the queue fill up, and stay so.
    while (next < packets.size() &&
           c.InputAudioData(packets[next].id, packets[next].dts, packets[next].data.data(),
                            int(packets[next].data.size())) != QueueInput::Full) {
        ++next;
        ASSERT_TRUE(time.Sleeping());
    }
    const qint64 full = Buffered(ring);
    time.AdvanceTo(60000);
    ASSERT_TRUE(time.Sleeping());
    EXPECT_EQ(Buffered(ring), full);
    // The output pulls again: each read makes room that is filled at once.
    ReadRing(ring, &pcm);
    ASSERT_TRUE(time.Sleeping());
    EXPECT_GT(Buffered(ring), 0) << "the room waited for the clock";
    for (size_t turns = 0; next < packets.size(); ++turns) {
        ASSERT_LT(turns, 10 * packets.size()) << "the worker stopped taking packets";
        push();
        ReadRing(ring, &pcm);
        ASSERT_TRUE(time.Sleeping());
    }
    ASSERT_EQ(c.InputAudioData(0, StreamMarker::End, nullptr, 0), QueueInput::Accepted);
    for (int i = 0; i < 100 && (Buffered(ring) > 0 ||
                                WithLock(c.audioQueue, [&] { return c.audioQueue.Count() > 0; }));
         ++i) {
        ASSERT_TRUE(time.Sleeping());
        ReadRing(ring, &pcm);
    }
    ASSERT_TRUE(time.Sleeping());
    ReadRing(ring, &pcm);
    Bytes theirs = Ffmpeg("h264_adpcm_ms.avi", 8000);
    theirs.insert(theirs.end(), theirs.begin(), theirs.end());
    EXPECT_TRUE(pcm == theirs) << pcm.size() << " bytes, ffmpeg " << theirs.size();
}

// Counts the reads a sink makes; serves silence, as the ring's device does.
class ReadCounter : public QIODevice {
public:
    ReadCounter() { open(ReadOnly | Unbuffered); }
    int reads = 0;

protected:
    qint64 readData(char* data, qint64 n) override {
        ++reads;
        std::memset(data, 0, size_t(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return 0; }
};

// The silent sink ticks only while there is sound: with nothing to play it
// reads nothing, and it comes back when woken.
TEST(SilentSinkTicks, OnlyWhileSoundPlays) {
    ReadCounter source;
    bool sound = false;
    SilentSink sink(&source, [&] { return sound; });
    sink.Start(16000);
    QTest::qWait(200);
    EXPECT_FALSE(sink.IsTicking());
    EXPECT_LE(source.reads, 1) << "read silence with nothing to play";
    sound = true;
    sink.Wake();
    EXPECT_TRUE(sink.IsTicking());
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.reads > 2; }, 10000));
    sink.Suspend();
    EXPECT_FALSE(sink.IsTicking());
    sink.Wake();
    EXPECT_FALSE(sink.IsTicking()) << "woken while paused";
    sink.Resume();
    EXPECT_TRUE(sink.IsTicking());
    sound = false;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sink.IsTicking(); }, 10000));
}

// Sound written from another thread, again and again into an emptied ring,
// wakes the idle silent sink every time; ThreadSanitizer sees every wake-up
// ordered after what the writer did.
TEST_F(AudioPath, SoundFromTheWritersThreadWakesTheIdleSink) {
    AudioCtrl audio(&ring);
    audio.SetFormat(16000, 1, 16, "audio/pcm", QAudioFormat::LittleEndian, QAudioFormat::SignedInt);
    audio.Start();
    ASSERT_TRUE(audio.Silent());
    constexpr int kRounds = 200;
    std::atomic<int> written{0};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop.load() && written.load() < kRounds) {
            if (Buffered(ring) == 0 && WriteRing(ring, 64, 1))
                ++written;
            QThread::usleep(200);
        }
    });
    const bool drained =
        QTest::qWaitFor([&] { return written.load() == kRounds && Buffered(ring) == 0; }, 60000);
    stop.store(true);
    writer.join();
    EXPECT_TRUE(drained) << written.load() << " blocks written, " << Buffered(ring)
                         << " bytes left unplayed";
    audio.Close();
}

}  // namespace
