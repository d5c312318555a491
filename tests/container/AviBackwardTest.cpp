// Backward reading, judged by ffprobe: the groups of pictures come newest
// first as ffprobe's key-frame list divides the file, each with the chunks
// of every stream that lie in the group and whose own time falls in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "AviFile.h"
#include "ClipFile.h"
#include "ReadOracle.h"
#include "RiffBuilder.h"
#include "TempDir.h"
#include "container/avibackward.h"
#include "container/riff.h"

using namespace container;
using namespace containertest;
using namespace testsupport;

namespace {

constexpr int kMaxCalls = 1000000;

// Backward packets (stream, dts, size) until the first negative result,
// which goes to *end.
std::vector<ProbePacket> readBackward(AviFile& file, int* end) {
    std::vector<ProbePacket> got = file.readAll(end, kMaxCalls);
    for (ProbePacket& p : got) {
        p.pos = -1;
        p.key = false;
    }
    return got;
}

struct Rational {
    int64_t num, den;
};

std::vector<Rational> timeBases(const std::string& path) {
    std::vector<Rational> tbs;
    for (const ProbeStream& s : probeStreams(path))
        tbs.push_back({s.time_base_num, s.time_base_den});
    return tbs;
}

// a x ta < b x tb, exactly.
bool earlier(int64_t a, Rational ta, int64_t b, Rational tb) {
    return static_cast<__int128>(a) * ta.num * tb.den < static_cast<__int128>(b) * tb.num * ta.den;
}

// What backward reading must deliver, from ffprobe's packet list: for each
// key frame of stream 0, newest first, the packets whose chunks lie between
// it and the next group's key frame (the last group ends with the last
// video chunk) and whose time lies in [key, next key).
std::vector<ProbePacket> expectedBackward(const std::string& path) {
    std::vector<ProbePacket> all = probePackets(path);
    std::sort(all.begin(), all.end(),
              [](const ProbePacket& a, const ProbePacket& b) { return a.pos < b.pos; });
    const std::vector<Rational> tbs = timeBases(path);
    std::vector<ProbePacket> keys;
    int64_t video_end = 0;
    for (const ProbePacket& p : all) {
        if (p.stream != 0)
            continue;
        if (p.key)
            keys.push_back(p);
        video_end = p.pos + p.size + (p.size & 1);  // ffprobe's pos is the payload's
    }
    std::vector<ProbePacket> want;
    for (size_t g = keys.size(); g-- > 0;) {
        const int64_t from = keys[g].pos - 8;
        const int64_t to = g + 1 < keys.size() ? keys[g + 1].pos - 8 : video_end;
        for (const ProbePacket& p : all) {
            if (p.pos - 8 < from || p.pos - 8 >= to)
                continue;
            const Rational tb = tbs[p.stream];
            if (earlier(p.dts, tb, keys[g].dts, tbs[0]))
                continue;
            if (g + 1 < keys.size() && !earlier(p.dts, tb, keys[g + 1].dts, tbs[0]))
                continue;
            ProbePacket w = p;
            w.pos = -1;
            w.key = false;
            want.push_back(w);
        }
    }
    return want;
}

std::vector<int64_t> videoDts(const std::vector<ProbePacket>& packets) {
    std::vector<int64_t> dts;
    for (const ProbePacket& p : packets) {
        if (p.stream == 0)
            dts.push_back(p.dts);
    }
    return dts;
}

class BackwardGroups : public ::testing::TestWithParam<FixtureName> {};

// -32 again on every later call.
void expectNoEarlierGroup(AviFile& file) {
    ProbePacket p;
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(file.readOne(&p), AVERROR_SPIPE);
}

TEST_P(BackwardGroups, NewestGroupFirstThenNoEarlierGroup) {
    const std::string path = fixturePath(GetParam());
    ASSERT_FALSE(path.empty()) << GetParam().name << " was not generated";
    const std::vector<ProbePacket> want = expectedBackward(path);
    ASSERT_FALSE(want.empty());

    AviFile file;
    ASSERT_EQ(file.openBackward(path, 3), 0);
    int end = 0;
    const std::vector<ProbePacket> got = readBackward(file, &end);
    EXPECT_EQ(end, AVERROR_SPIPE);
    EXPECT_EQ(videoDts(got), videoDts(want));
    EXPECT_EQ(got, want);
    expectNoEarlierGroup(file);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BackwardGroups,
                         ::testing::Values(FixtureName{"h264_aac.avi", false},
                                           FixtureName{"h264_bframes_aac.avi", false},
                                           FixtureName{"hevc_adpcm_ms.avi", false},
                                           FixtureName{"h264_adpcm_ima.avi", false},
                                           FixtureName{"h264_adts_aac.avi", false},
                                           FixtureName{"20230514083000_NM", true},   // ADPCM, data
                                           FixtureName{"20230514084500_GS", true},   // HEVC, AAC
                                           FixtureName{"20230514090000_TI", true},   // data, 10 Hz
                                           FixtureName{"20230514091500_MO", true}),  // no idx1
                         [](const auto& info) { return testName(info.param.name); });

// A clip of `frames` video chunks with key frames every `gop` frames, and
// one audio chunk after every video chunk; written with the clip writer.
void writeGroups(const std::string& path, int frames, int gop, bool audio_first = false) {
    ClipFile clip;
    ASSERT_TRUE(clip.open(path));
    // one 40 ms block of sound per video frame
    auto audio = [&] { clip.addAudio(CODEC_ID_PCM_S16LE, 1, 128000, 640); };
    if (audio_first)
        audio();
    clip.addVideo(MKTAG('O', 'R', 'D', 'X'), 64, 48);
    if (!audio_first)
        audio();
    ASSERT_EQ(avi_write_header(clip.ctx()), 0);
    const int vi = audio_first ? 1 : 0;
    for (int i = 0; i < frames; i++) {
        ASSERT_EQ(clip.write(vi, i, i % gop == 0, std::string(100 + i, 'v')), 0);
        ASSERT_EQ(clip.write(1 - vi, i, true, std::string(640, 'a')), 0);
    }
    ASSERT_EQ(clip.finish(), 0);
}

// Frame numbers 0..frames-1 in groups of `gop`, newest group first.
std::vector<int64_t> newestFirst(int64_t frames, int64_t gop) {
    std::vector<int64_t> all;
    for (int64_t key = (frames - 1) / gop * gop; key >= 0; key -= gop) {
        for (int64_t i = key; i < std::min(key + gop, frames); i++)
            all.push_back(i);
    }
    return all;
}

// A clip of groups written by writeGroups, opened for backward reading.
class GroupsClip : public ::testing::Test {
protected:
    void open(int frames, int gop, int slot) {
        writeGroups(dir.file("groups.avi"), frames, gop);
        ASSERT_EQ(file.openBackward(dir.file("groups.avi"), slot), 0);
    }
    TempDir dir;
    AviFile file;
};

// After a forward seek on the slot, backward reading starts with the group
// before the key frame sought.
TEST_F(GroupsClip, ForwardSeekThenBackwardPlaysTheGroupBefore) {
    open(100, 25, 5);
    ASSERT_EQ(avi_read_seek(file.ctx(), 0, 52, AVSEEK_FLAG_BACKWARD, 5), 0);
    int end = 0;
    EXPECT_EQ(videoDts(readBackward(file, &end)), newestFirst(50, 25));
    EXPECT_EQ(end, AVERROR_SPIPE);
}

// Each open file keeps its own slots: two files read on the same slot do not
// disturb each other.
TEST(AviBackward, SlotsBelongToTheirFile) {
    TempDir dir;
    writeGroups(dir.file("a.avi"), 60, 20);
    writeGroups(dir.file("b.avi"), 40, 10);
    AviFile files[2];
    std::vector<int64_t> dts[2];
    ASSERT_EQ(files[0].openBackward(dir.file("a.avi"), 2), 0);
    ASSERT_EQ(files[1].openBackward(dir.file("b.avi"), 2), 0);
    bool done[2] = {false, false};
    while (!done[0] || !done[1]) {
        for (int f = 0; f < 2; f++) {
            ProbePacket p;
            if (!done[f] && !(done[f] = files[f].readOne(&p) < 0) && p.stream == 0)
                dts[f].push_back(p.dts);
        }
    }
    EXPECT_EQ(dts[0], newestFirst(60, 20));
    EXPECT_EQ(dts[1], newestFirst(40, 10));
}

// Key frames out of file order (every other one at the front, the rest at
// the back, the other frames between): the groups' windows must not overlap,
// or one backward pass scans the file once per group.
TEST(AviBackward, WindowsOfOneBackwardPassDoNotOverlap) {
    constexpr int kFrames = 400;
    std::vector<int> front, middle, back;
    for (int t = 0; t < kFrames; ++t)
        (t % 2 ? middle : (t / 2) % 2 ? back : front).push_back(t);
    std::reverse(back.begin(), back.end());
    RiffBuilder b;
    b.open("RIFF", "AVI ").open("LIST", "hdrl");
    mainHeader(b, 40000, 1, 0x10);
    b.streamList("vids", "H264", 1, 25, 0, kFrames, bitmapHeader(64, 48, "H264"));
    b.close().open("LIST", "movi");
    const size_t movi = b.openChunkStart();
    std::vector<size_t> offset(kFrames);
    for (const std::vector<int>* part : {&front, &middle, &back}) {
        for (int t : *part) {
            offset[size_t(t)] = b.size() - movi;
            b.chunk("00dc", {0, 1});
        }
    }
    b.close().open("idx1");
    for (int t = 0; t < kFrames; ++t)
        b.fourcc("00dc").le32(t % 2 ? 0 : 0x10).le32(uint32_t(offset[size_t(t)])).le32(2);
    b.close().close();

    AviFile file;
    ASSERT_EQ(file.openMemory(b.data(), 4), 0);
    const AVIPacketInfo& info = file.avi()->packet_info;
    int64_t windowBytes = 0, lastStart = -1;
    ProbePacket p;
    for (int n = 0; n < kMaxCalls && file.readOne(&p) >= 0; ++n) {
        if (info.start_pos[4] != lastStart && info.end_pos[4] > info.start_pos[4])
            windowBytes += info.end_pos[4] - info.start_pos[4];
        lastStart = info.start_pos[4];
    }
    EXPECT_LE(windowBytes, int64_t(b.size()));
}

TEST(AviBackward, RejectsSlotsOutsideTheTable) {
    TempDir dir;
    const std::string path = dir.file("groups.avi");
    writeGroups(path, 10, 5);
    for (int slot : {-1, AVI_PACKET_SLOTS, 1000}) {
        AviFile file;
        ProbePacket p;
        EXPECT_EQ(file.openBackward(path, slot), AVERROR_INVAL) << slot;
        EXPECT_EQ(file.readOne(&p), AVERROR_INVAL) << slot;
        EXPECT_EQ(avi_find_backward_packet(file.ctx(), slot), -1) << slot;
        EXPECT_EQ(avi_set_to_end_packet(file.ctx(), slot), -1) << slot;
        EXPECT_EQ(avi_have_packet(file.ctx(), slot), 0) << slot;
    }
}

// Without a video stream 0, or with one without chunks, there are no
// groups: -32 at once, every time.
TEST(AviBackward, NoGroupsEndAtOnce) {
    TempDir dir;
    writeGroups(dir.file("audio_first.avi"), 20, 5, /*audio_first=*/true);
    writeGroups(dir.file("empty.avi"), 0, 5);
    for (const char* name : {"audio_first.avi", "empty.avi"}) {
        AviFile file;
        ASSERT_EQ(file.openBackward(dir.file(name), 0), 0) << name;
        EXPECT_EQ(avi_set_to_end_packet(file.ctx(), 0), -1) << name;
        expectNoEarlierGroup(file);
    }
}

TEST_F(GroupsClip, HavePacketFollowsTheGroup) {
    open(20, 10, 7);
    EXPECT_EQ(avi_have_packet(file.ctx(), 7), 1);
    EXPECT_EQ(avi_have_packet(file.ctx(), 6), 0);  // an untouched slot holds no group
    int end = 0;
    readBackward(file, &end);
    EXPECT_EQ(avi_have_packet(file.ctx(), 7), 0);
    EXPECT_EQ(avi_set_to_end_packet(file.ctx(), 7), 0);
    EXPECT_EQ(videoDts(readBackward(file, &end)), newestFirst(20, 10));
}

}  // namespace
