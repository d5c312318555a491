// Pictures of the video decoder against the ffmpeg tool's own decode.
#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "codec/ACH264Decoder.h"
#include "codec/I420Layout.h"

using namespace codectest;
using namespace testsupport;

namespace {

// Our pictures against ffmpeg's converted to yuv420p: equal or within 50 dB.
void expectCloseToFfmpeg(const std::string& file) {
    const std::vector<Bytes> packets = readPackets(file, "v:0");
    ACH264Decoder decoder;
    const Decoded ours = decodeVideo(decoder, packets, probeVideo(file));
    const Bytes theirs =
        ffmpegOutput(file, {"-map", "0:v:0", "-pix_fmt", "yuv420p", "-f", "rawvideo"});
    const I420Layout l = I420Layout::ForSize(ours.width, ours.height);
    ASSERT_GT(l.size, 0);
    ASSERT_EQ(int64_t(theirs.size()), l.size * int64_t(ours.frames.size()));
    for (size_t i = 0; i < ours.frames.size(); ++i) {
        EXPECT_GE(psnr(ours.frames[i].data(), theirs.data() + i * l.size, size_t(l.size)), 50.0)
            << file << " frame " << i;
    }
}

class FixtureFrames : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureFrames, EveryFrameMatchesFfmpegFramemd5) {
    expectFramesMatchFfmpeg(testDataFile(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureFrames,
                         ::testing::Values("h264_aac.avi", "h264_bframes_aac.avi",
                                           "h264_yuvj420p.avi", "hevc_adpcm_ms.avi"));

TEST(VideoOracle, TenBitHevcMatchesFfmpegYuv420p) {
    expectCloseToFfmpeg(testDataFile("hevc10.avi"));
}

// Other chroma formats and odd sizes are made at test time, a few frames each.
struct Conversion {
    const char* name;
    const char* size;
    const char* format;
    bool hevc;
};

class ConvertedFrames : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConvertedFrames, MatchFfmpegConversionToYuv420p) {
    const Conversion c = GetParam();
    TempDir dir;
    const std::string file = dir.file(std::string(c.name) + ".avi");
    std::vector<std::string> args{
        "-f", "lavfi", "-i",
        std::string("testsrc2=size=") + c.size + ":rate=25:duration=0.2,format=" + c.format};
    if (c.hevc) {
        args.insert(args.end(), {"-c:v", "libx265", "-tag:v", "HEVC", "-x265-params",
                                 "log-level=error:pools=1:frame-threads=1:bframes=0"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-threads", "1"});
    }
    args.push_back(file);
    ASSERT_EQ(ffmpeg(args).exitCode, 0);
    expectCloseToFfmpeg(file);
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertedFrames,
                         ::testing::Values(Conversion{"yuv422p", "160x121", "yuv422p", false},
                                           Conversion{"yuv444p_odd", "161x121", "yuv444p", false},
                                           Conversion{"gray_odd", "161x121", "gray", true},
                                           Conversion{"yuv420p10_odd", "162x98", "yuv420p10le",
                                                      true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VideoOracle, FlushAndDrainLeaveTheDecoderLikeAFreshOne) {
    // A seek: part of the first group is decoded, the decoder is flushed, and
    // decoding goes on from the second group's key frame to the drained end;
    // then the same decoder takes that stretch again.
    const std::string file = testDataFile("h264_bframes_aac.avi");
    const std::vector<Bytes> packets = readPackets(file, "v:0");
    ASSERT_EQ(packets.size(), 100u);
    const VideoInfo info = probeVideo(file);
    ACH264Decoder decoder, fresh;
    decodeVideo(decoder, {packets.begin(), packets.begin() + 10}, info, false);
    decoder.Flush();
    const std::vector<Bytes> tail(packets.begin() + 25, packets.end());
    const std::vector<std::string> expected = decodeVideo(fresh, tail, info).md5s();
    EXPECT_EQ(expected.size(), 75u);
    EXPECT_EQ(decodeVideo(decoder, tail, info).md5s(), expected);
    EXPECT_EQ(decodeVideo(decoder, tail, info).md5s(), expected);
    // A drain left after its first picture: the next packets start afresh.
    decodeVideo(decoder, {packets.begin(), packets.begin() + 10}, info, false);
    Bytes picture(size_t(I420Layout::ForSize(info.width, info.height).size));
    int key = 0;
    ASSERT_NE(decoder.Drain(&key, picture.data(), int(picture.size())), nullptr);
    EXPECT_EQ(decodeVideo(decoder, tail, info).md5s(), expected);
}

}  // namespace
