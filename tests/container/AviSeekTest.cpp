// Key-frame seeking, with the key frames and chunk positions taken from
// ffprobe's packet list.
#include <gtest/gtest.h>

#include <optional>

#include "AviFile.h"
#include "ProbePackets.h"
#include "TestData.h"

using namespace container;
using namespace containertest;

namespace {

// The key frame avi_read_seek must choose on stream 0 for target t: the
// nearer of the candidates (ties to the later one).
std::optional<ProbePacket> expectedKey(const std::vector<ProbePacket>& keys, int64_t t, int flags) {
    const ProbePacket* atOrBefore = nullptr;
    const ProbePacket* atOrAfter = nullptr;
    for (const ProbePacket& k : keys) {
        if (k.dts <= t)
            atOrBefore = &k;
        if (k.dts >= t && !atOrAfter)
            atOrAfter = &k;
    }
    const ProbePacket* first = (flags & AVSEEK_FLAG_BACKWARD) ? atOrBefore : atOrAfter;
    if (!first)
        return std::nullopt;
    const ProbePacket* second = atOrAfter ? atOrAfter : first;
    bool later = first->dts <= t ? (t - first->dts) >= (second->dts - t)
                                 : (first->dts - t) >= (t - second->dts);
    return later ? *second : *first;
}

class Seek : public ::testing::TestWithParam<std::string> {};

TEST_P(Seek, LandsOnTheNearestKeyFrameAndEveryStreamFollows) {
    std::string file = testsupport::testDataFile(GetParam());
    ASSERT_FALSE(file.empty());
    std::vector<ProbePacket> all = probePackets(file);
    std::vector<ProbePacket> keys;
    int64_t frames = 0;
    for (const ProbePacket& p : all) {
        if (p.stream == 0 && p.key)
            keys.push_back(p);
        frames += p.stream == 0;
    }
    ASSERT_GE(keys.size(), 2u);
    AviFile avi;
    ASSERT_EQ(avi.open(file), 0);
    for (int flags : {AVSEEK_FLAG_BACKWARD, 0}) {
        for (int64_t t = -2; t < frames + 3; ++t) {
            SCOPED_TRACE("target " + std::to_string(t) + " flags " + std::to_string(flags));
            std::optional<ProbePacket> key = expectedKey(keys, t, flags);
            int slot = static_cast<int>(t & 7);
            int r = avi_read_seek(avi.ctx(), 0, t, flags, slot);
            if (!key) {
                EXPECT_EQ(r, -1);
                continue;
            }
            ASSERT_EQ(r, 0);
            const AVIPacketInfo& info = avi.avi()->packet_info;
            EXPECT_EQ(info.start_ts[slot], key->dts);
            EXPECT_EQ(info.end_ts[slot], key->dts);
            EXPECT_EQ(info.start_pos[slot], key->pos - 8);
            EXPECT_EQ(info.end_pos[slot], key->pos - 8);
            // The first packet of each stream is its first chunk from the key frame on.
            std::vector<bool> seen(avi.ctx()->nb_streams, false);
            size_t left = seen.size();
            ProbePacket p;
            for (int n = 0; left > 0 && n < 400 && avi.readOne(&p) >= 0; ++n) {
                if (seen[p.stream])
                    continue;
                seen[p.stream] = true;
                --left;
                if (p.stream == 0) {
                    EXPECT_EQ(p, *key);
                    continue;
                }
                const ProbePacket* next = nullptr;
                for (const ProbePacket& q : all) {
                    if (q.stream == p.stream && q.pos > key->pos - 8) {
                        next = &q;
                        break;
                    }
                }
                ASSERT_NE(next, nullptr) << "stream " << p.stream;
                EXPECT_EQ(p.pos, next->pos) << "stream " << p.stream;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Media, Seek,
                         ::testing::Values("h264_aac.avi", "h264_bframes_aac.avi",
                                           "hevc_adpcm_ms.avi", "h264_pcm.avi"));

TEST(Seek, RefusedArgumentsLeaveTheReaderWhereItWas) {
    std::string file = testsupport::testDataFile("h264_aac.avi");
    ASSERT_FALSE(file.empty());
    AviFile reference, avi;
    ASSERT_EQ(reference.open(file), 0);
    ASSERT_EQ(avi.open(file), 0);
    reference.readAll(nullptr, 5);
    avi.readAll(nullptr, 5);
    EXPECT_EQ(avi_read_seek(avi.ctx(), 7, 10, 0, 0), -1);
    EXPECT_EQ(avi_read_seek(avi.ctx(), -1, 10, 0, 0), -1);
    EXPECT_EQ(avi_read_seek(avi.ctx(), 0, 10, 0, 12), -1);
    EXPECT_EQ(avi_read_seek(avi.ctx(), 0, 10, 0, -1), -1);
    EXPECT_EQ(avi_read_seek(avi.ctx(), 0, 1000000, 0, 0), -1) << "no key frame at or after";
    ProbePacket a, b;
    ASSERT_GT(reference.readOne(&a), 0);
    ASSERT_GT(avi.readOne(&b), 0);
    EXPECT_EQ(a, b);
}

TEST(Seek, AudioStreamIndexSeeksByItsOwnTimeBase) {
    std::string file = testsupport::testDataFile("h264_adpcm_ms.avi");
    ASSERT_FALSE(file.empty());
    AviFile avi;
    ASSERT_EQ(avi.open(file), 0);
    AVStream* audio = avi.ctx()->streams[1];
    // Half way through, in the audio stream's units: every audio chunk is a key.
    int64_t middle = audio->index_entries[audio->nb_index_entries / 2].timestamp;
    ASSERT_EQ(avi_read_seek(avi.ctx(), 1, middle, AVSEEK_FLAG_BACKWARD, 3), 0);
    ProbePacket p;
    do {
        ASSERT_GT(avi.readOne(&p), 0);
    } while (p.stream != 1);
    EXPECT_EQ(p.dts, middle);
}

}  // namespace
