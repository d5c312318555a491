// PCM of the audio decoders against the ffmpeg tool, and their rules.
#include <gtest/gtest.h>

#include <cmath>

#include "CodecTestSupport.h"
#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "codec/ACAACDecoder.h"
#include "codec/ACADPCMDecoder.h"

using namespace codectest;
using namespace testsupport;

namespace {

std::vector<double> samples(const Bytes& pcm) {
    std::vector<double> s(pcm.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = double(int16_t(pcm[2 * i] | pcm[2 * i + 1] << 8));
    return s;
}

// Bytes of PCM that one packet gives, 0 for none.
int decodeOne(ACDecoder& d, int codecId, const Bytes& p) {
    int n = 0;
    return d.DecodeBuffer(codecId, p.data(), int(p.size()), &n, 0, 0, nullptr, 0) ? n : 0;
}

struct Source {
    const char* file;
    int codecId;
    bool withStreamInfo;  // false: the decoder's own 8000 Hz mono defaults
};

class SourcePcm : public ::testing::TestWithParam<Source> {};

TEST_P(SourcePcm, EqualsFfmpegMonoS16) {
    expectPcmMatchesFfmpeg(testDataFile(GetParam().file), GetParam().codecId,
                           GetParam().withStreamInfo);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SourcePcm,
                         ::testing::Values(Source{"h264_adpcm_ms.avi", kMsAdpcm, true},
                                           Source{"h264_adpcm_ms.avi", kMsAdpcm, false},
                                           Source{"h264_aac.avi", kAac, true},
                                           Source{"h264_aac.avi", kAac, false},
                                           Source{"h264_adts_aac.avi", kAac, false}));

// A 44100 Hz stereo source played through an output opened at 8000 Hz:
// mono at 8000 Hz, with the drained codec and resampler tail as long as
// ffmpeg's own -ac 1 -ar 8000, and the same signal with at least 60 dB of
// signal to noise.
TEST(AudioDecoder, StereoSourceGivesMonoAtTheOutputRate) {
    const std::string file = testDataFile("h264_stereo_aac.avi");
    ACAACDecoder d;
    d.setStreamInfo(probeAudio(file));
    d.setOutputRate(8000);
    Bytes pcm = decodeAudio(d, kAac, readPackets(file, "a:0"));
    int n = 0;
    for (const unsigned char* tail; (tail = d.Drain(&n, nullptr, 0));)
        pcm.insert(pcm.end(), tail, tail + n);
    const std::vector<double> ours = samples(pcm);
    const std::vector<double> theirs =
        samples(ffmpegOutput(file, {"-map", "0:a:0", "-ac", "1", "-ar", "8000", "-f", "s16le"}));
    ASSERT_GT(theirs.size(), 30000u);
    EXPECT_EQ(ours.size(), theirs.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
        signal += theirs[i] * theirs[i];
        noise += (ours[i] - theirs[i]) * (ours[i] - theirs[i]);
    }
    EXPECT_GT(10 * std::log10(signal / std::max(noise, 1.0)), 60.0);
}

// The stream's own rate reaches the decoder (its defaults say 8000 Hz): at
// an output of that rate nothing is resampled.
TEST(AudioDecoder, AdpcmAtOtherRatesEqualsFfmpeg) {
    TempDir dir;
    for (const std::string rate : {"16000", "22050"}) {
        const std::string file = dir.file("adpcm" + rate + ".avi");
        ASSERT_EQ(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=1:sample_rate=" + rate,
                          "-c:a", "adpcm_ms", "-ac", "1", file})
                      .exitCode,
                  0);
        expectPcmMatchesFfmpeg(file, kMsAdpcm, true, std::stoi(rate));
    }
}

TEST(AudioDecoder, OutputRateCanChangeBetweenPackets) {
    const std::vector<Bytes> packets = readPackets(testDataFile("h264_adpcm_ms.avi"), "a:0");
    ACADPCMDecoder d;
    const int atSource = decodeOne(d, kMsAdpcm, packets[0]);
    ASSERT_GT(atSource, 0);
    d.setOutputRate(16000);
    EXPECT_NEAR(decodeOne(d, kMsAdpcm, packets[1]), 2 * atSource, 64);
    // SWF ADPCM opens at 11025 Hz: at that output rate nothing is resampled.
    // A packet: 2-bit code size, then 16-bit sample, 6-bit index and codes.
    Bytes swf(64, 0x5a);
    swf[0] = 0x00;
    ACADPCMDecoder own, at11025;
    at11025.setOutputRate(11025);
    const int n = decodeOne(own, kSwfAdpcm, swf);
    EXPECT_GT(n, 0);
    EXPECT_EQ(decodeOne(at11025, kSwfAdpcm, swf), n);
}

TEST(AudioDecoder, EveryBlockOfAPacketIsDecoded) {
    // A recorder may put several ADPCM blocks in one chunk.
    const std::string file = testDataFile("h264_adpcm_ms.avi");
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    AudioStreamInfo info = probeAudio(file);
    info.blockAlign = int(packets[0].size());
    std::vector<Bytes> joined;
    for (size_t i = 0; i + 2 < packets.size(); i += 3) {
        joined.push_back(packets[i]);
        for (const Bytes& next : {packets[i + 1], packets[i + 2]})
            joined.back().insert(joined.back().end(), next.begin(), next.end());
    }
    ACADPCMDecoder byBlock, byChunk;
    byBlock.setStreamInfo(info);
    byChunk.setStreamInfo(info);
    const Bytes single =
        decodeAudio(byBlock, kMsAdpcm, {packets.begin(), packets.begin() + 3 * joined.size()});
    EXPECT_EQ(decodeAudio(byChunk, kMsAdpcm, joined), single);
}

TEST(AudioDecoder, OpenFailuresSaySoOnEveryCall) {
    const Bytes p(256, 0);
    const struct {
        int decoderFor;
        int codecId;
        const unsigned char* data;
        int size;
        std::string message;
    } cases[] = {
        {kAac, 0x7ffffff0, p.data(), 64, "pCodec not found\n"},
        {kMsAdpcm, -5, p.data(), 64, "pCodec not found\n"},
        // IMA ADPCM needs 4 coded bits a sample; both classes open it with 16 and fail.
        {kAac, kImaWavAdpcm, p.data(), 256, "could not open pCodecContext\n"},
        {kMsAdpcm, kImaWavAdpcm, p.data(), 256, "could not open pCodec\n"},
        // Null or empty packets open nothing.
        {kAac, kAac, nullptr, 10, ""},
        {kMsAdpcm, kMsAdpcm, p.data(), 0, ""},
        {kAac, 0x7ffffff0, nullptr, 10, ""},
    };
    for (const auto& c : cases) {
        auto d = makeAudioDecoder(c.decoderFor);
        int n = -1;
        StderrCapture err;
        for (int call = 0; call < 2; ++call)
            EXPECT_EQ(d->DecodeBuffer(c.codecId, c.data, c.size, &n, 0, 0, nullptr, 0), nullptr);
        EXPECT_EQ(err.text(), c.message + c.message) << c.codecId;
        EXPECT_EQ(n, -1);
    }
}

TEST(AudioDecoder, ResetThenDecodeStartsAfresh) {
    // AAC carries state from packet to packet; after Reset a packet decodes
    // as it would in a new decoder.
    const std::string file = testDataFile("h264_aac.avi");
    const std::vector<Bytes> packets = readPackets(file, "a:0");
    const AudioStreamInfo info = probeAudio(file);
    ACAACDecoder used, fresh, continued;
    for (ACAACDecoder* d : {&used, &fresh, &continued})
        d->setStreamInfo(info);
    decodeAudio(used, kAac, {packets.begin(), packets.begin() + 5});
    const Bytes straight = decodeAudio(continued, kAac, {packets.begin(), packets.begin() + 7});
    EXPECT_EQ(used.Reset(), 1);
    const std::vector<Bytes> next{packets[5], packets[6]};
    const Bytes afterReset = decodeAudio(used, kAac, next);
    EXPECT_EQ(afterReset, decodeAudio(fresh, kAac, next));
    EXPECT_NE(afterReset, Bytes(straight.end() - afterReset.size(), straight.end()));
    // One mono frame of 1024 samples: 2048 bytes.
    EXPECT_EQ(decodeOne(fresh, kAac, packets[7]), 2048);
}

}  // namespace
