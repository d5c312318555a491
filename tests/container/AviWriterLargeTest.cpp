// A clip over 1 GiB: the writer must go on in a "RIFF" "AVIX" part, turn its
// placeholders into OpenDML indexes, and both ffprobe and our reader must
// see every frame. The file is made here and removed with its folder.
#include <gtest/gtest.h>

#include <string>

#include "AviFile.h"
#include "ClipFile.h"
#include "Command.h"
#include "RiffReading.h"
#include "TempDir.h"
#include "TestData.h"
#include "container/riff.h"

using namespace container;
using namespace containertest;
using namespace testsupport;

namespace {

constexpr int kFrames = 4400;
constexpr int kFrameBytes = 256 * 1024;  // 4400 frames: about 1.1 GiB
constexpr int kAudioBlock = 1024;

void writeLargeClip(const std::string& path) {
    ClipFile clip;
    ASSERT_TRUE(clip.open(path));
    // no decoder claims the fourcc: ffprobe only counts
    clip.addVideo(MKTAG('O', 'R', 'D', 'X'), 640, 480);
    clip.addAudio(CODEC_ID_ADPCM_MS, 2, 32000, kAudioBlock);
    ASSERT_EQ(avi_write_header(clip.ctx()), 0);
    std::string frame(kFrameBytes, '\0');
    const std::string block(kAudioBlock, '\x11');
    for (int i = 0; i < kFrames; i++) {
        frame[0] = static_cast<char>(i);
        ASSERT_EQ(clip.write(0, i, i % 25 == 0, frame.substr(0, kFrameBytes - (i & 1))), 0);
        if (i % 4 == 0) {
            ASSERT_EQ(clip.write(1, i, true, block), 0);
        }
    }
    ASSERT_EQ(clip.finish(), 0);
}

TEST(AviWriterLarge, OpenDmlClipOverOneGiB) {
    TempDir dir;
    const std::string path = dir.file("large.avi");
    writeLargeClip(path);
    const int audio_chunks = (kFrames + 3) / 4;

    // "RIFF" "AVI " and, right after it, "RIFF" "AVIX".
    const std::string head = readFileRange(path, 0, 64 * 1024);
    ASSERT_EQ(head.substr(0, 4), "RIFF");
    ASSERT_EQ(head.substr(8, 4), "AVI ");
    const uint64_t second = 8 + le32(head, 4);
    EXPECT_GT(second, uint64_t{AVI_MAX_RIFF_SIZE});
    const std::string avix = readFileRange(path, second, 24);
    EXPECT_EQ(avix.substr(0, 4), "RIFF");
    EXPECT_EQ(avix.substr(8, 4), "AVIX");
    EXPECT_EQ(avix.substr(12, 4), "LIST");
    EXPECT_EQ(avix.substr(20, 4), "movi");

    // Each stream's placeholder became a super index with one entry per
    // part, each pointing at an "ix" standard index of that stream.
    size_t indx = 0;
    for (const char* id : {"00dc", "01wb"}) {
        indx = head.find("indx", indx + 1);
        ASSERT_NE(indx, std::string::npos) << id;
        const size_t body = indx + 8;  // longs, subtype, type, entries in use, chunk id
        EXPECT_EQ(head.substr(body + 8, 4), id);
        EXPECT_EQ(le32(head, body + 4), 2u) << id;  // entries in use
        uint64_t frames = 0;
        for (int part = 0; part < 2; part++) {
            const size_t e = body + 24 + part * 16;
            const std::string ix = readFileRange(path, le64(head, e), 32);
            EXPECT_EQ(ix.substr(0, 2), "ix") << id;
            EXPECT_EQ(ix.substr(2, 2), std::string(id).substr(0, 2)) << id;
            EXPECT_EQ(ix.substr(16, 4), id);
            EXPECT_EQ(le32(ix, 12), le32(head, e + 12)) << id;  // entry counts agree
            frames += le32(head, e + 12);
        }
        EXPECT_EQ(frames, std::string(id) == "00dc" ? kFrames : audio_chunks) << id;
    }
    const size_t odml = head.find("odmldmlh");
    ASSERT_NE(odml, std::string::npos);
    EXPECT_EQ(head.substr(odml - 8, 4), "LIST");
    EXPECT_EQ(le32(head, odml + 12), uint64_t{kFrames});  // total frames

    CommandResult probe = ffprobe(
        {"-count_packets", "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0"}, path);
    EXPECT_EQ(probe.out, std::to_string(kFrames) + "\n" + std::to_string(audio_chunks) + "\n");

    // Key flags as ffprobe reads them from the OpenDML indexes, one line a frame.
    const std::string keys =
        ffprobe({"-select_streams", "v", "-show_entries", "packet=flags", "-of", "csv=p=0"}, path)
            .out;
    ASSERT_EQ(keys.size(), size_t{kFrames} * 3);  // "K_\n" or "__\n"

    AviFile avi;
    ASSERT_EQ(avi.open(path), 0);
    int counts[2] = {0, 0};
    int64_t next_video = 0;
    for (ProbePacket p; avi.readOne(&p) >= 0;) {
        ASSERT_TRUE(p.stream == 0 || p.stream == 1);
        if (p.stream == 0) {
            EXPECT_EQ(p.dts, next_video);
            EXPECT_EQ(avi.packet()->data[0], static_cast<uint8_t>(next_video));
            EXPECT_EQ(p.key, next_video % 25 == 0) << next_video;
            EXPECT_EQ(p.key, keys[size_t(next_video) * 3] == 'K') << next_video;
            next_video++;
        }
        counts[p.stream]++;
    }
    EXPECT_EQ(counts[0], kFrames);
    EXPECT_EQ(counts[1], audio_chunks);
}

}  // namespace
