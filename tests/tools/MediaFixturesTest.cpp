// The media fixtures every later test reads: ffprobe must see the codecs and
// pixel formats we asked ffmpeg for, and a second run must give the same bytes.
#include <gtest/gtest.h>

#include <utility>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"

using namespace testsupport;

namespace {}  // namespace

TEST(MediaFixtures, FfprobeSeesTheRequestedCodecs) {
    // codec_name,codec_tag_string[,pix_fmt] per stream, one line each.
    const std::pair<const char*, const char*> expected[] = {
        {"h264_aac.avi", "h264,H264,yuv420p\naac,[255][0][0][0]\n"},
        {"h264_bframes_aac.avi", "h264,H264,yuv420p\naac,[255][0][0][0]\n"},
        {"h264_yuvj420p.avi", "h264,H264,yuvj420p\n"},
        {"h264_adpcm_ms.avi", "h264,H264,yuv420p\nadpcm_ms,[2][0][0][0]\n"},
        {"h264_adpcm_ima.avi", "h264,H264,yuv420p\nadpcm_ima_wav,[17][0][0][0]\n"},
        {"h264_pcm.avi", "h264,H264,yuv420p\npcm_s16le,[1][0][0][0]\n"},
        {"h264_stereo_aac.avi", "h264,H264,yuv420p\naac,[255][0][0][0]\n"},
        {"h264_adts_aac.avi", "h264,H264,yuv420p\naac,[255][0][0][0]\n"},
        {"hevc_adpcm_ms.avi", "hevc,HEVC,yuv420p\nadpcm_ms,[2][0][0][0]\n"},
        {"hevc10.avi", "hevc,HEVC,yuv420p10le\n"},
    };
    for (const auto& e : expected) {
        std::string path = testDataFile(e.first);
        ASSERT_FALSE(path.empty()) << e.first << " was not generated";
        CommandResult r = ffprobe(
            {"-show_entries", "stream=codec_name,codec_tag_string,pix_fmt", "-of", "csv=p=0"},
            path);
        EXPECT_EQ(r.exitCode, 0) << e.first;
        EXPECT_EQ(r.out, e.second) << e.first;
    }
}

TEST(MediaFixtures, GenerationIsBitExact) {
    TempDir dir;
    CommandResult r = runCommand({"bash", sourceDir() + "/scripts/make-media.sh", dir.path()});
    ASSERT_EQ(r.exitCode, 0);
    for (const char* name : {"h264_aac.avi", "hevc_adpcm_ms.avi", "h264_adts_aac.avi"}) {
        EXPECT_EQ(readFile(dir.file(name)), readFile(testDataFile(name))) << name;
    }
}
