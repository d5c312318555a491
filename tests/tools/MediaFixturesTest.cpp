// The media fixtures every later test reads: ffprobe must see the codecs we
// asked ffmpeg for, and a second run must give the same bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"

using namespace testsupport;

namespace {

struct Expected {
    const char* file;
    const char* streams;  // codec_name:codec_tag_string per stream, '|'-joined
};

std::string probeStreams(const std::string& path) {
    CommandResult r = ffprobe(
        {"-show_entries", "stream=codec_name,codec_tag_string", "-of", "default=nw=1:nk=1"}, path);
    EXPECT_EQ(r.exitCode, 0) << path;
    std::istringstream lines(r.out);
    std::string name, tag, joined;
    while (std::getline(lines, name) && std::getline(lines, tag)) {
        joined += (joined.empty() ? "" : "|") + name + ":" + tag;
    }
    return joined;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(MediaFixtures, FfprobeSeesTheRequestedCodecs) {
    const Expected expected[] = {
        {"h264_aac.avi", "h264:H264|aac:[255][0][0][0]"},
        {"h264_bframes_aac.avi", "h264:H264|aac:[255][0][0][0]"},
        {"h264_yuvj420p.avi", "h264:H264"},
        {"h264_adpcm_ms.avi", "h264:H264|adpcm_ms:[2][0][0][0]"},
        {"h264_adpcm_ima.avi", "h264:H264|adpcm_ima_wav:[17][0][0][0]"},
        {"h264_pcm.avi", "h264:H264|pcm_s16le:[1][0][0][0]"},
        {"h264_stereo_aac.avi", "h264:H264|aac:[255][0][0][0]"},
        {"h264_adts_aac.avi", "h264:H264|aac:[255][0][0][0]"},
        {"hevc_adpcm_ms.avi", "hevc:HEVC|adpcm_ms:[2][0][0][0]"},
        {"hevc10.avi", "hevc:HEVC"},
    };
    for (const Expected& e : expected) {
        std::string path = testDataFile(e.file);
        ASSERT_FALSE(path.empty()) << e.file << " was not generated";
        EXPECT_EQ(probeStreams(path), e.streams) << e.file;
    }
}

TEST(MediaFixtures, HevcTenBitKeepsItsPixelFormat) {
    CommandResult r = ffprobe(
        {"-select_streams", "v:0", "-show_entries", "stream=pix_fmt", "-of", "default=nw=1:nk=1"},
        testDataFile("hevc10.avi"));
    EXPECT_EQ(r.out, "yuv420p10le\n");
}

TEST(MediaFixtures, GenerationIsBitExact) {
    TempDir dir;
    CommandResult r = runCommand({"bash", sourceDir() + "/scripts/make-media.sh", dir.path()});
    ASSERT_EQ(r.exitCode, 0);
    for (const char* name : {"h264_aac.avi", "hevc_adpcm_ms.avi", "h264_adts_aac.avi"}) {
        EXPECT_EQ(readAll(dir.file(name)), readAll(testDataFile(name))) << name;
    }
}
