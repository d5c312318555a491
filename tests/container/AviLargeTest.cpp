// An OpenDML file over 1 GiB (RIFF AVIX continuation, super indexes), made
// by ffmpeg at test time and removed afterwards.
#include <gtest/gtest.h>

#include <filesystem>

#include "AviFile.h"
#include "Command.h"
#include "ReadOracle.h"
#include "TempDir.h"

using namespace container;
using namespace containertest;

namespace {

constexpr int64_t kGiB = INT64_C(1) << 30;

class LargeFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir;
        path_ = dir_->file("large.avi");
        // Raw 1280x720 frames (1.3 MiB each) and PCM: fast to make, over 1 GiB.
        testsupport::CommandResult r = testsupport::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=32", "-f", "lavfi", "-i",
             "sine=frequency=440:sample_rate=8000:duration=32", "-c:v", "rawvideo", "-pix_fmt",
             "yuv420p", "-c:a", "pcm_s16le", "-fflags", "+bitexact", "-y", path_});
        ASSERT_EQ(r.exitCode, 0);
    }
    static void TearDownTestSuite() {
        delete dir_;  // removes the file
        dir_ = nullptr;
    }
    static testsupport::TempDir* dir_;
    static std::string path_;
};

testsupport::TempDir* LargeFile::dir_ = nullptr;
std::string LargeFile::path_;

TEST_F(LargeFile, IsOpenDmlAndMatchesFfprobe) {
    ASSERT_GT(static_cast<int64_t>(std::filesystem::file_size(path_)), kGiB);
    AviFile avi;
    ASSERT_EQ(avi.open(path_), 0);
    EXPECT_EQ(avi.avi()->is_odml, 1);
    AVStream* video = avi.ctx()->streams[0];
    ASSERT_EQ(video->nb_index_entries, 800);
    EXPECT_GT(video->index_entries[799].pos, kGiB) << "entries from the AVIX part";
    expectPacketsMatchFfprobe(path_);
}

TEST_F(LargeFile, SeeksIntoTheSecondRiff) {
    std::vector<ProbePacket> probed = probePackets(path_);
    AviFile avi;
    ASSERT_EQ(avi.open(path_), 0);
    for (int64_t frame : {790, 400, 10}) {
        ASSERT_EQ(avi_read_seek(avi.ctx(), 0, frame, AVSEEK_FLAG_BACKWARD, 0), 0);
        ProbePacket p;
        do {
            ASSERT_GT(avi.readOne(&p), 0);
        } while (p.stream != 0);
        const ProbePacket* expected = nullptr;
        for (const ProbePacket& q : probed) {
            if (q.stream == 0 && q.dts == frame)
                expected = &q;
        }
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(p, *expected);
    }
}

}  // namespace
