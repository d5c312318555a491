// PCM of the audio decoders against the ffmpeg tool, and their rules.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "CodecTestSupport.h"
#include "TestData.h"
#include "codec/ACAACDecoder.h"
#include "codec/ACADPCMDecoder.h"

using namespace codectest;
using namespace testsupport;

namespace {

constexpr int kAac = 0x15002;
constexpr int kMsAdpcm = 0x11006;
constexpr int kSwfAdpcm = 0x1100d;

std::unique_ptr<ACDecoder> makeDecoder(int codecId) {
    if (codecId == kAac)
        return std::make_unique<ACAACDecoder>();
    return std::make_unique<ACADPCMDecoder>();
}

Bytes decodeAll(ACDecoder& d, int codecId, const std::vector<Bytes>& packets) {
    Bytes pcm;
    for (const Bytes& p : packets) {
        int n = -1;
        const unsigned char* out =
            d.DecodeBuffer(codecId, p.data(), int(p.size()), &n, 0, 0, nullptr, 0);
        if (!out)
            continue;
        EXPECT_GT(n, 0);
        pcm.insert(pcm.end(), out, out + n);
    }
    return pcm;
}

std::vector<double> samples(const Bytes& pcm) {
    std::vector<double> s(pcm.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = double(int16_t(pcm[2 * i] | pcm[2 * i + 1] << 8));
    return s;
}

struct Source {
    const char* file;
    int codecId;
    bool withStreamInfo;  // false: the decoder's own 8000 Hz mono defaults
};

class SourcePcm : public ::testing::TestWithParam<Source> {};

TEST_P(SourcePcm, EqualsFfmpegMonoS16) {
    const Source s = GetParam();
    const std::string file = testDataFile(s.file);
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    ASSERT_FALSE(packets.empty());
    auto d = makeDecoder(s.codecId);
    if (s.withStreamInfo) {
        AudioStreamInfo info = probeAudio(file);
        info.blockAlign = s.codecId == kAac ? 0 : int(packets[0].size());  // one block a chunk
        d->setStreamInfo(info);
    }
    const Bytes ours = decodeAll(*d, s.codecId, packets);
    const Bytes theirs = ffmpegOutput(file, {"-map", "0:a:0", "-ac", "1", "-f", "s16le"});
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SourcePcm,
                         ::testing::Values(Source{"h264_adpcm_ms.avi", kMsAdpcm, true},
                                           Source{"h264_adpcm_ms.avi", kMsAdpcm, false},
                                           Source{"hevc_adpcm_ms.avi", kMsAdpcm, true},
                                           Source{"h264_aac.avi", kAac, true},
                                           Source{"h264_aac.avi", kAac, false},
                                           Source{"h264_adts_aac.avi", kAac, false},
                                           Source{"h264_bframes_aac.avi", kAac, true}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             return name + (info.param.withStreamInfo ? "_stream" : "_defaults");
                         });

// A 44100 Hz stereo source played through an output opened at 8000 Hz:
// mono at 8000 Hz, as long as ffmpeg's own -ac 1 -ar 8000 but for the
// resampler's tail that ffmpeg flushes at the end (64 samples at most), and
// the same signal with at least 60 dB of signal to noise.
TEST(AudioDecoder, StereoSourceGivesMonoAtTheOutputRate) {
    const std::string file = testDataFile("h264_stereo_aac.avi");
    ACAACDecoder d;
    d.setStreamInfo(probeAudio(file));
    d.setOutputRate(8000);
    const std::vector<double> ours = samples(decodeAll(d, kAac, readPackets(file, "a:0")));
    const std::vector<double> theirs =
        samples(ffmpegOutput(file, {"-map", "0:a:0", "-ac", "1", "-ar", "8000", "-f", "s16le"}));
    ASSERT_GT(theirs.size(), 30000u);
    EXPECT_NEAR(double(ours.size()), double(theirs.size()), 64);
    double signal = 0, noise = 0;
    for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
        signal += theirs[i] * theirs[i];
        noise += (ours[i] - theirs[i]) * (ours[i] - theirs[i]);
    }
    EXPECT_GT(10 * std::log10(signal / std::max(noise, 1.0)), 60.0);
}

TEST(AudioDecoder, OutputRateCanChangeBetweenPackets) {
    const std::string file = testDataFile("h264_adpcm_ms.avi");
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    ACADPCMDecoder d;
    int n = 0;
    ASSERT_TRUE(
        d.DecodeBuffer(kMsAdpcm, packets[0].data(), int(packets[0].size()), &n, 0, 0, nullptr, 0));
    const int atSource = n;
    d.setOutputRate(16000);
    ASSERT_TRUE(
        d.DecodeBuffer(kMsAdpcm, packets[1].data(), int(packets[1].size()), &n, 0, 0, nullptr, 0));
    EXPECT_NEAR(n, 2 * atSource, 64);
}

TEST(AudioDecoder, EveryBlockOfAPacketIsDecoded) {
    // A recorder may put several ADPCM blocks in one chunk.
    const std::string file = testDataFile("h264_adpcm_ms.avi");
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    AudioStreamInfo info = probeAudio(file);
    info.blockAlign = int(packets[0].size());
    std::vector<Bytes> joined;
    for (size_t i = 0; i + 2 < packets.size(); i += 3) {
        Bytes three = packets[i];
        three.insert(three.end(), packets[i + 1].begin(), packets[i + 1].end());
        three.insert(three.end(), packets[i + 2].begin(), packets[i + 2].end());
        joined.push_back(three);
    }
    ACADPCMDecoder byBlock, byChunk;
    byBlock.setStreamInfo(info);
    byChunk.setStreamInfo(info);
    const Bytes single =
        decodeAll(byBlock, kMsAdpcm, {packets.begin(), packets.begin() + 3 * joined.size()});
    EXPECT_EQ(decodeAll(byChunk, kMsAdpcm, joined), single);
}

TEST(AudioDecoder, UnknownCodecIdSaysSoEveryCall) {
    for (int id : {0x7ffffff0, -5}) {
        ACAACDecoder aac;
        ACADPCMDecoder adpcm;
        const Bytes p(64, 0x21);
        int n = -1;
        StderrCapture err;
        EXPECT_EQ(aac.DecodeBuffer(id, p.data(), int(p.size()), &n, 0, 0, nullptr, 0), nullptr);
        EXPECT_EQ(adpcm.DecodeBuffer(id, p.data(), int(p.size()), &n, 0, 0, nullptr, 0), nullptr);
        EXPECT_EQ(adpcm.DecodeBuffer(id, p.data(), int(p.size()), &n, 0, 0, nullptr, 0), nullptr);
        EXPECT_EQ(err.text(), "pCodec not found\npCodec not found\npCodec not found\n");
        EXPECT_EQ(n, -1);
    }
}

TEST(AudioDecoder, OpenFailureMessagesNameTheClass) {
    // IMA ADPCM needs 4 coded bits a sample; both classes open it with 16 and fail.
    const Bytes p(256, 0);
    int n = -1;
    ACAACDecoder aac;
    ACADPCMDecoder adpcm;
    StderrCapture err;
    EXPECT_EQ(aac.DecodeBuffer(0x11001, p.data(), int(p.size()), &n, 0, 0, nullptr, 0), nullptr);
    EXPECT_EQ(adpcm.DecodeBuffer(0x11001, p.data(), int(p.size()), &n, 0, 0, nullptr, 0), nullptr);
    EXPECT_EQ(err.text(), "could not open pCodecContext\ncould not open pCodec\n");
}

TEST(AudioDecoder, NullOrEmptyPacketOpensNothing) {
    for (int id : {kAac, kMsAdpcm, 0x7ffffff0}) {
        auto d = makeDecoder(id);
        int n = -1;
        const unsigned char byte = 0;
        StderrCapture err;
        EXPECT_EQ(d->DecodeBuffer(id, nullptr, 10, &n, 0, 0, nullptr, 0), nullptr);
        EXPECT_EQ(d->DecodeBuffer(id, &byte, 0, &n, 0, 0, nullptr, 0), nullptr);
        EXPECT_EQ(err.text(), "");
        EXPECT_EQ(n, -1);
    }
}

TEST(AudioDecoder, SwfAdpcmOpensAt11025) {
    // A SWF ADPCM packet: 2-bit code size, then 16-bit sample, 6-bit index and codes.
    Bytes p(64, 0x5a);
    p[0] = 0x00;
    ACADPCMDecoder d;
    int n = 0;
    ASSERT_TRUE(d.DecodeBuffer(kSwfAdpcm, p.data(), int(p.size()), &n, 0, 0, nullptr, 0));
    EXPECT_GT(n, 0);
    // At the stream's own rate nothing is resampled: 11025 Hz in, 11025 Hz out.
    d.setOutputRate(11025);
    int same = 0;
    ASSERT_TRUE(d.DecodeBuffer(kSwfAdpcm, p.data(), int(p.size()), &same, 0, 0, nullptr, 0));
    EXPECT_EQ(same, n);
}

TEST(AudioDecoder, ResetThenDecodeStartsAfresh) {
    // AAC carries state from packet to packet; after Reset a packet decodes
    // as it would in a new decoder.
    const std::string file = testDataFile("h264_aac.avi");
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    const AudioStreamInfo info = probeAudio(file);
    ACAACDecoder used, fresh;
    used.setStreamInfo(info);
    fresh.setStreamInfo(info);
    decodeAll(used, kAac, {packets.begin(), packets.begin() + 5});
    const std::vector<Bytes> next{packets[5], packets[6]};
    ACAACDecoder continued;
    continued.setStreamInfo(info);
    const Bytes straight = decodeAll(continued, kAac, {packets.begin(), packets.begin() + 7});
    EXPECT_EQ(used.Reset(), 1);
    const Bytes afterReset = decodeAll(used, kAac, next);
    EXPECT_EQ(afterReset, decodeAll(fresh, kAac, next));
    EXPECT_NE(afterReset, Bytes(straight.end() - afterReset.size(), straight.end()));
}

TEST(AudioDecoder, MonoFrameOf1024SamplesGives2048Bytes) {
    const std::string file = testDataFile("h264_aac.avi");
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    ACAACDecoder d;
    int n = 0;
    for (size_t i = 0; i < 3; ++i)
        d.DecodeBuffer(kAac, packets[i].data(), int(packets[i].size()), &n, 0, 0, nullptr, 0);
    EXPECT_EQ(n, 2048);
}

}  // namespace
