// The audio path without a sound device: the decode worker's PCM against the
// ffmpeg tool, the silent sink's pace, and the reopen at a stream's rate.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <thread>

#include "AviFile.h"
#include "CodecTestSupport.h"
#include "TestData.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

using namespace container;
using codectest::Bytes;

namespace {

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

    // Offers the audio packets of file to the audio queue as the demux would
    // (codec id replaced by id when given), reading the ring meanwhile.
    void Feed(const std::string& file, int id = 0, int limit = 1 << 30) {
        containertest::AviFile avi;
        ASSERT_EQ(avi.open(file), 0) << file;
        containertest::ProbePacket p;
        while (limit > 0 && avi.readOne(&p) >= 0) {
            const AVStream* st = avi.ctx()->streams[p.stream];
            if (st->codec->codec_type != CODEC_TYPE_AUDIO)
                continue;
            --limit;
            Push(id ? id : st->codec->codec_id,
                 st->time_base.num * p.dts * 1000 / st->time_base.den, avi.packet()->data,
                 avi.packet()->size);
        }
    }
    void Push(int id, qint64 dts, const unsigned char* data, int size) {
        while (c.InputAudioData(id, dts, data, size) == QueueInput::Full)
            Pull(1);
    }
    void Pull(int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        char chunk[4096];
        QueueLock<SoundBuffer> lock(ring);
        for (qint64 n; (n = ring.OutputData(chunk, sizeof chunk)) > 0;)
            pcm.insert(pcm.end(), chunk, chunk + n);
    }
    void Write(qint64 bytes) {
        QueueLock<SoundBuffer> lock(ring);
        char* room = nullptr;
        ASSERT_GE(ring.LockBuf(&room, bytes), bytes);
        ring.UnlockBuf(bytes);
    }
    qint64 Buffered() {
        QueueLock<SoundBuffer> lock(ring);
        return ring.GetBufDataLen();
    }
    // Ends the stream and reads until the worker has written everything.
    void End() {
        Push(0, StreamMarker::End, nullptr, 0);
        for (size_t before = SIZE_MAX; before != pcm.size();) {
            before = pcm.size();
            Pull(300);
        }
    }

    Controller c{SystemTimeSource::Instance()};
    SoundBuffer& ring = c.soundBuffer;
    Bytes pcm;
};

Bytes Ffmpeg(const std::string& file, int rate) {
    return codectest::ffmpegOutput(
        file, {"-map", "0:a", "-ac", "1", "-ar", std::to_string(rate), "-f", "s16le"});
}

// Equal, or within 1 LSB, or at least 90 dB of signal to noise.
void ExpectClose(const Bytes& ours, const Bytes& theirs) {
    ASSERT_EQ(ours.size(), theirs.size());
    double signal = 0, noise = 0;
    int most = 0;
    for (size_t i = 0; i + 1 < ours.size(); i += 2) {
        const int a = int16_t(ours[i] | ours[i + 1] << 8),
                  b = int16_t(theirs[i] | theirs[i + 1] << 8);
        signal += double(b) * b;
        noise += double(a - b) * (a - b);
        most = std::max(most, std::abs(a - b));
    }
    EXPECT_TRUE(most <= 1 || 10 * std::log10(signal / std::max(noise, 1e-9)) >= 90)
        << "largest difference " << most << ", SNR " << 10 * std::log10(signal / noise);
}

struct Case {
    const char* file;
    int rate;  // the output's
};
class AudioPathPcm : public AudioPath, public ::testing::WithParamInterface<Case> {};

TEST_P(AudioPathPcm, EqualsFfmpegMonoAtTheOutputRate) {
    const std::string file = testsupport::testDataFile(GetParam().file);
    c.SetAudioFormat(Controller::PcmFormat(GetParam().rate), {});
    c.audioDecoderCtrl.Start();
    Feed(file);
    End();
    const Bytes theirs = Ffmpeg(file, GetParam().rate);
    ExpectClose(pcm, theirs);
    EXPECT_NEAR(ring.EndDts(), qint64(theirs.size()) / 2 * 1000 / GetParam().rate, 2);
}

INSTANTIATE_TEST_SUITE_P(Files, AudioPathPcm,
                         ::testing::Values(Case{"h264_adpcm_ms.avi", 8000},
                                           Case{"h264_aac.avi", 8000},
                                           Case{"h264_adpcm_ms.avi", 16000}));

// ADPCM, then packets no decoder takes, then AAC: each decoder gives all of
// its stream, the unknown packets nothing.
TEST_F(AudioPath, CodecChangesSwitchDecodersAndKeepEverySample) {
    const std::string adpcm = testsupport::testDataFile("h264_adpcm_ms.avi");
    const std::string aac = testsupport::testDataFile("h264_aac.avi");
    c.audioDecoderCtrl.Start();
    Feed(adpcm);
    Feed(aac, 0x15000, 5);
    Feed(aac);
    End();
    Bytes theirs = Ffmpeg(adpcm, 8000);
    const Bytes second = Ffmpeg(aac, 8000);
    theirs.insert(theirs.end(), second.begin(), second.end());
    ExpectClose(pcm, theirs);
}

TEST_F(AudioPath, NothingIsWrittenOrWaitedForWhileNoOutputRuns) {
    ring.SetReaderRunning(false);
    c.audioDecoderCtrl.Start();
    Feed(testsupport::testDataFile("h264_adpcm_ms.avi"));  // more than the ring holds
    End();
    EXPECT_TRUE(pcm.empty());
}

// No device: the silent sink pulls at the format's pace (2 bytes a sample),
// not while paused, and a reopen while paused stays paused.
TEST_F(AudioPath, SilentSinkPullsAtTheFormatsPaceAndAReopenKeepsThePause) {
    c.audioReopen.Open(8000);
    ASSERT_TRUE(c.audioCtrl.Silent());
    Write(32000);
    QTest::qWait(500);
    EXPECT_NEAR(Buffered(), 32000 - 8000, 1600);
    c.audioCtrl.Suspend();
    c.audioReopen.Open(16000);
    Write(32000);
    QTest::qWait(300);
    EXPECT_EQ(Buffered(), 32000);
    c.audioCtrl.Resume();
    QTest::qWait(500);
    EXPECT_NEAR(Buffered(), 32000 - 16000, 3200);
}

TEST_F(AudioPath, ARateChangeReopensOnceAndExitEndsAWaitingRequest) {
    c.audioReopen.Open(8000);
    std::atomic<int> reopens{0};
    std::thread demux([&] {
        for (int rate : {8000, 8000, 16000, 16000, 0, 8000, 8000}) {
            if (c.audioReopen.NeedsReopen(rate)) {
                c.ChangeFreqHz(rate);
                EXPECT_EQ(c.AudioSampleRate(), rate);
                ++reopens;
            }
        }
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return reopens == 2; }, 5000));
    demux.join();
    EXPECT_EQ(reopens, 2);
    // The GUI thread serves no events now: only the exit flag ends the wait.
    QElapsedTimer waited;
    waited.start();
    std::thread late([&] { EXPECT_FALSE(c.audioReopen.Request(16000)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    g_bSuspend.store(true);
    late.join();
    EXPECT_LT(waited.elapsed(), 1500);
}

}  // namespace
