// The audio path without a sound device: the decode worker's PCM against the
// ffmpeg tool, the silent sink's pace, and the reopen at a stream's rate.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <thread>

#include "AviFile.h"
#include "CodecTestSupport.h"
#include "SoundRing.h"
#include "TestData.h"
#include "engine/Controller.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

using codectest::Bytes;
using testsupport::testDataFile;

namespace {

Bytes Ffmpeg(const std::string& file, int rate) {
    return codectest::ffmpegOutput(testDataFile(file), {"-map", "0:a", "-ac", "1", "-ar",
                                                        std::to_string(rate), "-f", "s16le"});
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
        containertest::AviFile avi;
        ASSERT_EQ(avi.open(testDataFile(file)), 0) << file;
        for (containertest::ProbePacket p; limit > 0 && avi.readOne(&p) >= 0;) {
            const container::AVStream* st = avi.ctx()->streams[p.stream];
            if (st->codec->codec_type == container::CODEC_TYPE_AUDIO && limit-- > 0)
                Push(id ? id : st->codec->codec_id,
                     st->time_base.num * p.dts * 1000 / st->time_base.den, avi.packet()->data,
                     avi.packet()->size);
        }
    }
    void Push(int id, qint64 dts, const unsigned char* data, int size) {
        for (; c.InputAudioData(id, dts, data, size) == QueueInput::Full; QThread::msleep(1))
            ReadRing(ring, &pcm);
    }
    // Ends the stream and reads until the worker has written everything.
    void End() {
        Push(0, StreamMarker::End, nullptr, 0);
        for (size_t before = SIZE_MAX; before != pcm.size(); ReadRing(ring, &pcm)) {
            before = pcm.size();
            QThread::msleep(300);
        }
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
        QueueLock<PacketQueue> lock(c.audioQueue);
        c.audioQueue.Clear();
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

// No device: the silent sink pulls 2 bytes a sample at the format's rate and
// nothing while paused. Stream rates from the demux thread reopen the output
// once per change, and it stays paused; exit ends a request that waits.
TEST_F(AudioPath, SilentSinkPaceReopensWhilePausedAndExitDuringAReopen) {
    c.audioReopen.Open(16000);
    ASSERT_TRUE(c.audioCtrl.Silent() && WriteRing(ring, 32000));
    QTest::qWait(500);
    EXPECT_NEAR(Buffered(ring), 32000 - 16000, 3200);
    c.audioCtrl.Suspend();
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return reopens == 3; }, 5000));
    demux.join();
    EXPECT_EQ(reopens, 3);
    ASSERT_TRUE(WriteRing(ring, 16000));
    QTest::qWait(300);
    EXPECT_EQ(Buffered(ring), 16000);
    WithLock(ring, [&] { ring.SetEndDts(10000); });
    EXPECT_EQ(c.audioCtrl.GetCurrentDts(), 9000);  // 1 s of sound is still to play
    c.audioCtrl.Resume();
    QTest::qWait(500);
    EXPECT_NEAR(Buffered(ring), 16000 - 8000, 1600);
    // The GUI thread serves no events now: only the exit flag ends the wait.
    QElapsedTimer waited;
    waited.start();
    std::thread late([&] { EXPECT_FALSE(c.audioReopen.Request(16000)); });
    QThread::msleep(100);
    g_bSuspend.store(true);
    late.join();
    EXPECT_LT(waited.elapsed(), 1500);
}

}  // namespace
