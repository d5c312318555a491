// Key-frame seeking, with the key frames and chunk positions taken from
// ffprobe's packet list.
#include <gtest/gtest.h>

#include <optional>

#include "AviFile.h"
#include "ProbePackets.h"
#include "ReadOracle.h"
#include "RiffBuilder.h"
#include "TempDir.h"
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

// The same chunks stream after stream, with an idx1 in that order (the
// OpenDML indexes renamed to JUNK): a non-interleaved file.
std::string nonInterleavedCopy(const std::string& file, const std::string& out) {
    std::string bytes = readFile(file);
    std::vector<ProbePacket> packets = probePackets(file);
    size_t movi = bytes.find("movi") - 8;
    std::string header = bytes.substr(12, movi - 12);
    for (size_t at = header.find("indx"); at != std::string::npos; at = header.find("indx", at))
        header.replace(at, 4, "JUNK");
    RiffBuilder b;
    b.open("RIFF", "AVI ").bytes(std::vector<uint8_t>(header.begin(), header.end()));
    b.open("LIST", "movi");
    size_t moviList = b.openChunkStart();
    std::vector<std::pair<ProbePacket, size_t>> index;
    for (int stream : {0, 1, 2}) {
        for (const ProbePacket& p : packets) {
            if (p.stream != stream)
                continue;
            index.emplace_back(p, b.size() - moviList);
            std::string tag = bytes.substr(static_cast<size_t>(p.pos) - 8, 4);
            b.chunk(tag.c_str(),
                    std::vector<uint8_t>(bytes.begin() + p.pos, bytes.begin() + p.pos + p.size));
        }
    }
    b.close().open("idx1");
    for (const auto& [p, offset] : index) {
        b.bytes(std::vector<uint8_t>(bytes.begin() + p.pos - 8, bytes.begin() + p.pos - 4));
        b.le32(p.key ? 0x10 : 0).le32(static_cast<uint32_t>(offset)).le32(p.size);
    }
    b.close().close();
    testsupport::writeFile(out, b.data());
    return out;
}

// Where a stream other than 0 resumes after a seek to key: in an interleaved
// file its first chunk behind the key frame's; in a non-interleaved one its
// last chunk at or before the key frame's time (else its first).
const ProbePacket* resumeAt(const std::vector<ProbePacket>& all, AVFormatContext* s, int stream,
                            const ProbePacket& key, bool interleaved) {
    const ProbePacket* found = nullptr;
    AVRational from = s->streams[0]->time_base, to = s->streams[stream]->time_base;
    int64_t t = av_rescale(key.dts, int64_t(from.num) * to.den, int64_t(from.den) * to.num);
    for (const ProbePacket& q : all) {
        if (q.stream != stream)
            continue;
        if (interleaved && q.pos > key.pos - 8)
            return &q;
        if (!interleaved && (q.dts <= t || !found))
            found = &q;
    }
    return found;
}

struct SeekCase {
    const char* name;
    bool interleaved;
};

class Seek : public ::testing::TestWithParam<SeekCase> {};

TEST_P(Seek, LandsOnTheNearestKeyFrameAndEveryStreamFollows) {
    std::string file = testsupport::testDataFile(GetParam().name);
    ASSERT_FALSE(file.empty());
    testsupport::TempDir dir;
    if (!GetParam().interleaved)
        file = nonInterleavedCopy(file, dir.file("copy.avi"));
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
    ASSERT_EQ(avi.avi()->non_interleaved, !GetParam().interleaved);
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
                const ProbePacket* next =
                    resumeAt(all, avi.ctx(), p.stream, *key, GetParam().interleaved);
                ASSERT_NE(next, nullptr) << "stream " << p.stream;
                EXPECT_EQ(p.pos, next->pos) << "stream " << p.stream;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Media, Seek,
    ::testing::Values(SeekCase{"h264_aac.avi", true}, SeekCase{"h264_bframes_aac.avi", true},
                      SeekCase{"hevc_adpcm_ms.avi", true}, SeekCase{"h264_pcm.avi", true},
                      SeekCase{"h264_aac.avi", false}, SeekCase{"hevc_adpcm_ms.avi", false}),
    [](const auto& info) {
        return testName(info.param.name) + (info.param.interleaved ? "" : "NonInterleaved");
    });

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
