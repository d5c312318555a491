// The AVI reader forwards, against ffprobe's view of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "AviFile.h"
#include "Command.h"
#include "ProbePackets.h"
#include "ReadOracle.h"
#include "TempDir.h"
#include "TestData.h"

using namespace container;
using namespace containertest;

namespace {

class Fixture : public ::testing::TestWithParam<std::string> {
protected:
    std::string path() const {
        std::string p = testsupport::testDataFile(GetParam());
        EXPECT_FALSE(p.empty()) << GetParam();
        return p;
    }
};

TEST_P(Fixture, PacketsAndStreamHeadersMatchFfprobe) {
    expectPacketsMatchFfprobe(path());
    expectStreamsMatchFfprobe(path());
}

TEST(AviInfo, ReportsSizeRateDurationAndTitle) {
    testsupport::TempDir dir;
    std::string path = dir.file("titled.avi");
    ASSERT_EQ(testsupport::ffmpeg({"-i", testsupport::testDataFile("h264_aac.avi"), "-c", "copy",
                                   "-metadata", "title=Road test", path})
                  .exitCode,
              0);
    AVIFileInfo info{};
    char text[8] = "x";
    ASSERT_EQ(avi_read_info(path.c_str(), &info, text, sizeof text), 0);
    EXPECT_EQ(info.video_width, 320);
    EXPECT_EQ(info.video_height, 240);
    EXPECT_EQ(info.video_time_base_den, 25);
    EXPECT_EQ(info.duration, 4) << "100 frames of 1/25 s";
    EXPECT_STREQ(text, "Road te");
    EXPECT_LT(avi_read_info("/no/such/file.avi", &info, nullptr, 0), 0);
}

TEST(AviInfo, ProbeAcceptsRiffAviOnly) {
    struct {
        const char* head;
        int score;
    } cases[] = {{"RIFF\0\0\0\0AVI ", 100}, {"RIFF\0\0\0\0AVIX", 100}, {"RIFF\0\0\0\0AVI\x19", 100},
                 {"ON2 \0\0\0\0ON2f", 100}, {"RIFF\0\0\0\0AMV ", 100}, {"RIFF\0\0\0\0WAVE", 0},
                 {"RIFX\0\0\0\0AVI ", 0}};
    for (auto& c : cases) {
        unsigned char buf[12];
        std::memcpy(buf, c.head, 12);
        AVProbeData p{"x.avi", buf, 12};
        EXPECT_EQ(avi_probe(&p), c.score) << c.head;
    }
}

// Recorder files: H.264 or HEVC, ADPCM or AAC, a data stream with its own
// time base, idx1 relative, absolute or missing.
TEST(Recordings, PacketsMatchFfprobe) {
    std::vector<std::string> files = recordingFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) {
        expectStreamsMatchFfprobe(file);
        expectPacketsMatchFfprobe(file);
    }
}

// Without an index the key frames come from the payload's NAL types.
TEST(Recordings, HevcWithoutIndexMatchesFfprobe) {
    testsupport::TempDir dir;
    std::string path = dir.file("hevc.avi");
    ASSERT_EQ(testsupport::runCommand(
                  {"python3", testsupport::sourceDir() + "/scripts/fixtures/make_recordings.py",
                   "single", "--media", testsupport::testDataDir(), "--video", "hevc", "--no-idx1",
                   "--duration-ms", "2000", "--out", path})
                  .exitCode,
              0);
    std::vector<ProbePacket> probed = probePackets(path);
    EXPECT_EQ(std::count_if(probed.begin(), probed.end(),
                            [](const ProbePacket& p) { return p.stream == 0 && p.key; }),
              2);
    expectPacketsMatchFfprobe(path);
}

INSTANTIATE_TEST_SUITE_P(Media, Fixture,
                         ::testing::Values("h264_aac.avi", "h264_bframes_aac.avi",
                                           "hevc_adpcm_ms.avi", "h264_adpcm_ima.avi",
                                           "h264_adpcm_ms.avi", "h264_adts_aac.avi", "h264_pcm.avi",
                                           "h264_stereo_aac.avi", "hevc10.avi"),
                         [](const auto& info) { return testName(info.param); });

}  // namespace
