// The header walk, the index loaders and the packet scan on hand-made files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "AviFile.h"
#include "RiffBuilder.h"

using namespace container;
using namespace containertest;

namespace {

struct MoviChunk {
    std::string id;
    std::vector<uint8_t> payload;
    bool key = true;
    uint32_t indexedSize = 0;  // the length idx1 claims; 0 = the payload's
};

// A small AVI: one H.264 video stream and one PCM audio stream unless the
// test adds its own stream lists, movi chunks, and an idx1.
struct SmallAvi {
    uint32_t framePeriod = 40000;
    uint32_t flags = 0;  // of the main header
    std::function<void(RiffBuilder&)> streams = [](RiffBuilder& b) {
        b.streamList("vids", "H264", 1, 25, 0, 3, bitmapHeader(320, 240, "H264"));
        b.streamList("auds", "\0\0\0\0", 1, 8000, 2, 0, waveFormat(1, 1, 8000, 2, 16));
    };
    std::vector<MoviChunk> movi = {{"00dc", h264Nal(5)},
                                   {"01wb", std::vector<uint8_t>(64, 1)},
                                   {"00dc", h264Nal(1)},
                                   {"00dc", h264Nal(1)}};
    bool index = true;                              // idx1 with offsets relative to the movi list
    std::function<void(RiffBuilder&)> afterHeader;  // extra chunks before movi

    std::vector<size_t> chunkPositions;  // file positions of the movi chunk headers

    std::vector<uint8_t> build() {
        RiffBuilder b;
        b.open("RIFF", "AVI ");
        b.open("LIST", "hdrl");
        mainHeader(b, framePeriod, 2, flags);
        streams(b);
        b.close();
        if (afterHeader)
            afterHeader(b);
        b.open("LIST", "movi");
        size_t moviList = b.openChunkStart();
        chunkPositions.clear();
        for (const MoviChunk& c : movi) {
            chunkPositions.push_back(b.size());
            b.chunk(c.id.c_str(), c.payload);
        }
        b.close();
        if (index) {
            b.open("idx1");
            for (size_t i = 0; i < movi.size(); ++i) {
                uint32_t offset = static_cast<uint32_t>(chunkPositions[i] - moviList);
                b.fourcc(movi[i].id.c_str()).le32(movi[i].key ? 0x10 : 0).le32(offset);
                b.le32(movi[i].indexedSize ? movi[i].indexedSize
                                           : static_cast<uint32_t>(movi[i].payload.size()));
            }
            b.close();
        }
        b.close();
        return b.data();
    }
};

// Position of the first occurrence of tag in file.
size_t find(const std::vector<uint8_t>& file, const char* tag) {
    return static_cast<size_t>(std::search(file.begin(), file.end(), tag, tag + 4) - file.begin());
}

TEST(AviHeader, PadsStreamsAreSkippedAndDataStreamsNeedNoFormat) {
    SmallAvi f;
    f.streams = [](RiffBuilder& b) {
        b.streamList("pads", "\0\0\0\0", 1, 25, 0, 0, {});
        b.streamList("vids", "H264", 1, 25, 0, 3, bitmapHeader(320, 240, "H264"));
        b.streamList("dats", "\0\0\0\0", 1, 10, 0, 1, std::vector<uint8_t>(12, 7));
    };
    f.movi = {{"00dc", h264Nal(5)}, {"01tx", {1, 2, 3}}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    ASSERT_EQ(avi.ctx()->nb_streams, 2u);
    EXPECT_EQ(avi.ctx()->streams[0]->codec->codec_type, CODEC_TYPE_VIDEO);
    EXPECT_EQ(avi.ctx()->streams[0]->codec->codec_id, CODEC_ID_H264);
    AVStream* data = avi.ctx()->streams[1];
    EXPECT_EQ(data->id, 1);
    EXPECT_EQ(data->codec->codec_type, CODEC_TYPE_DATA);
    EXPECT_EQ(data->codec->codec_id, CODEC_ID_NONE);
    EXPECT_EQ(data->time_base.num, 1);
    EXPECT_EQ(data->time_base.den, 10);
    std::vector<ProbePacket> packets = avi.readAll();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1].stream, 1);
    EXPECT_EQ(packets[1].size, 3);
}

struct RateCase {
    int32_t scale, rate;
    uint32_t framePeriod;
    int num, den;
};

class StreamRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(StreamRate, FallsBackOnTheFramePeriodOr25) {
    const RateCase& c = GetParam();
    SmallAvi f;
    f.framePeriod = c.framePeriod;
    f.streams = [&](RiffBuilder& b) {
        b.streamList("vids", "H264", c.scale, c.rate, 0, 3, bitmapHeader(320, 240, "H264"));
    };
    f.movi = {{"00dc", h264Nal(5)}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    EXPECT_EQ(avi.ctx()->streams[0]->time_base.num, c.num);
    EXPECT_EQ(avi.ctx()->streams[0]->time_base.den, c.den);
}

INSTANTIATE_TEST_SUITE_P(Cases, StreamRate,
                         ::testing::Values(RateCase{0, 25, 33333, 33333, 1000000},
                                           RateCase{1, 0, 0, 1, 25}, RateCase{-1, 25, 0, 1, 25},
                                           RateCase{1, -30, 40000, 40000, 1000000},
                                           RateCase{1001, 30000, 0, 1001, 30000}));

TEST(AviHeader, LargeUnknownChunkEndsTheHeader) {
    for (uint32_t size : {1000000u, 1000001u}) {
        SCOPED_TRACE(size);
        SmallAvi f;
        f.afterHeader = [&](RiffBuilder& b) {
            b.fourcc("zzzz").le32(size);
            if (size == 1000000u)
                b.zeros(size);
        };
        AviFile avi;
        ASSERT_EQ(avi.openMemory(f.build()), 0);
        std::vector<ProbePacket> packets = avi.readAll();
        // Either way the chunks are found: walked to movi, or scanned from the damage on.
        ASSERT_EQ(packets.size(), 4u);
        EXPECT_EQ(packets[0].pos, static_cast<int64_t>(f.chunkPositions[0] + 8));
        if (size == 1000001u)
            EXPECT_EQ(avi.avi()->movi_end, avi.avi()->fsize);
        else
            EXPECT_LT(avi.avi()->movi_end, avi.avi()->fsize);
    }
}

TEST(AviHeader, DuplicatePositionsMarkTheFileNonInterleaved) {
    SmallAvi f;
    std::vector<uint8_t> file = f.build();
    // Point the third idx1 entry at the second chunk's position.
    size_t idx1 = file.size() - 4 * 16;
    std::copy(file.begin() + idx1 + 16 + 8, file.begin() + idx1 + 16 + 12,
              file.begin() + idx1 + 32 + 8);
    AviFile avi;
    ASSERT_EQ(avi.openMemory(file), 0);
    EXPECT_EQ(avi.avi()->non_interleaved, 1);
    int end = 0;
    std::vector<ProbePacket> packets = avi.readAll(&end);
    EXPECT_EQ(end, AVERROR_EOF);
    EXPECT_FALSE(packets.empty());
}

// A chunk the index claims to be 1 GiB long in a file of a few hundred
// bytes: the entry is refused and no buffer grows beyond the file.
TEST(AviHeader, IndexEntryRunningPastTheFileIsRefused) {
    SmallAvi f;
    f.flags = 0x20;
    f.movi = {{"00dc", h264Nal(5)}, {"01wb", std::vector<uint8_t>(64, 1), true, 0x3FFFFFF0}};
    std::vector<uint8_t> file = f.build();
    AviFile avi;
    ASSERT_EQ(avi.openMemory(file), 0);
    EXPECT_EQ(avi.ctx()->streams[1]->nb_index_entries, 0);
    int end = 0;
    avi.readAll(&end);
    EXPECT_EQ(end, AVERROR_EOF);
    EXPECT_LE(avi.packet()->capacity, std::max<int64_t>(kMinPacketBuffer, int64_t(file.size())));
}

TEST(AviHeader, Idx1WithBadStreamNumbersIsFiltered) {
    SmallAvi f;
    f.movi.push_back({"99dc", h264Nal(1)});
    f.movi.push_back({"-1dc", h264Nal(1)});
    f.movi.push_back({"02wb", h264Nal(1)});
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    EXPECT_EQ(avi.ctx()->streams[0]->nb_index_entries, 3);
    EXPECT_EQ(avi.ctx()->streams[1]->nb_index_entries, 1);
    EXPECT_EQ(avi.readAll().size(), 4u);
}

TEST(AviHeader, FortyNinthStreamFailsTheHeader) {
    for (int count : {48, 49}) {
        SmallAvi f;
        f.streams = [&](RiffBuilder& b) {
            for (int i = 0; i < count; ++i)
                b.streamList("dats", "\0\0\0\0", 1, 25, 0, 0, {});
        };
        f.movi = {};
        f.index = false;
        AviFile avi;
        EXPECT_EQ(avi.openMemory(f.build()), count == 48 ? 0 : -1) << count;
        EXPECT_EQ(avi.ctx()->nb_streams, 48u);
    }
}

TEST(AviHeader, UntrustedHeaderValues) {
    SmallAvi f;
    std::vector<uint8_t> extra(5, 9);
    f.streams = [&](RiffBuilder& b) {
        b.streamList("vids", "H264", 1, 25, 0, 3, bitmapHeader(320, -240, "H264", extra));
        // negative sample size; cbSize far beyond the chunk
        std::vector<uint8_t> wav = waveFormat(0xff, 1, 8000, 0, 16);
        wav.push_back(0xff);
        wav.push_back(0xff);
        wav.push_back(1);
        b.streamList("auds", "\0\0\0\0", 1024, 8000, -5, 0, wav);
        b.open("LIST", "INFO");
        b.chunk("INAM", std::vector<uint8_t>{'a', 'b', 'c'});  // no terminator inside the chunk
        b.chunk("ICMT", std::vector<uint8_t>(3000, 'x'));
        b.close();
    };
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    AVStream* video = avi.ctx()->streams[0];
    EXPECT_EQ(video->codec->height, 240);
    EXPECT_EQ(video->codec->extradata_size, 5);
    AVStream* audio = avi.ctx()->streams[1];
    EXPECT_EQ(static_cast<AVIStream*>(audio->priv_data)->sample_size, 0);
    EXPECT_EQ(audio->codec->extradata_size, 1) << "cbSize is cut to the chunk";
    AVMetadataTag* title = av_metadata_get(avi.ctx()->metadata, "Title", nullptr, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title->value, "abc");
    AVMetadataTag* comment = av_metadata_get(avi.ctx()->metadata, "Comment", nullptr, 0);
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(std::string(comment->value), std::string(1024, 'x'));
}

TEST(AviHeader, RepeatedFormatChunkReplacesTheFirst) {
    SmallAvi f;
    f.streams = [](RiffBuilder& b) {
        b.streamList("vids", "\0\0\0\0", 1, 25, 0, 3,
                     bitmapHeader(320, 240, "\0\0\0\0", {1, 2}, 8));
        b.chunk("strf", bitmapHeader(64, 48, "H264", {3, 4, 5}));
    };
    f.movi = {{"00dc", h264Nal(5)}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    AVCodecContext* c = avi.ctx()->streams[0]->codec;
    EXPECT_EQ(c->width, 64);
    ASSERT_EQ(c->extradata_size, 3);
    EXPECT_EQ(c->extradata[0], 3);
    EXPECT_EQ(c->palctrl, nullptr) << "the first chunk's palette went with it";
}

// The running stream length starts near 2^63 and grows by 4 GiB per entry:
// it must saturate, not overflow (UBSan traps on the latter).
TEST(AviHeader, HugeStartAndLengthsSaturate) {
    SmallAvi f;
    for (int i = 0; i < 6; ++i)
        f.movi.push_back({"01wb", std::vector<uint8_t>(4, 1)});
    std::vector<uint8_t> file = f.build();
    auto patch = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            file[at + k] = static_cast<uint8_t>(v >> (8 * k));
    };
    size_t strh = find(file, "auds");
    patch(strh + 28, 0xFFFFFFFF);  // start
    patch(strh + 44, 0x7FFFFFFF);  // sample size
    size_t idx1 = file.size() - 16 * f.movi.size();
    for (size_t i = 0; i < f.movi.size(); ++i)
        patch(idx1 + 16 * i + 12, 0xFFFFFFFF);  // lengths
    AviFile avi;
    ASSERT_EQ(avi.openMemory(file), 0);
    int end = 0;
    avi.readAll(&end);
    EXPECT_LT(end, 0);
    ASSERT_EQ(avi_read_seek(avi.ctx(), 0, 0, AVSEEK_FLAG_BACKWARD, 0), 0);
    avi.readAll(&end);
    EXPECT_LT(end, 0);
}

TEST(AviHeader, MinimumHeightIsRejected) {
    SmallAvi f;
    f.streams = [](RiffBuilder& b) {
        b.streamList("vids", "H264", 1, 25, 0, 3, bitmapHeader(320, INT32_MIN, "H264"));
    };
    AviFile avi;
    EXPECT_EQ(avi.openMemory(f.build()), -1);
}

TEST(AviHeader, ShortStreamHeaderNeverMovesTheWalkBack) {
    SmallAvi f;
    f.streams = [](RiffBuilder& b) {
        b.open("LIST", "strl");
        b.chunk("strh", {'v', 'i', 'd', 's'});  // far shorter than a stream header
        b.chunk("strf", bitmapHeader(320, 240, "H264"));
        b.close();
    };
    f.movi = {{"00dc", h264Nal(5)}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    ASSERT_EQ(avi.ctx()->nb_streams, 1u);
    EXPECT_EQ(avi.ctx()->streams[0]->time_base.num, 40000) << "missing rate takes the fallback";
    EXPECT_EQ(avi.ctx()->streams[0]->time_base.den, 1000000);
    EXPECT_EQ(avi.readAll().size(), 1u);
}

// A file indexed only by OpenDML: a super index in the stream list pointing
// at one standard index after the movi list.
struct OdmlAvi {
    std::vector<MoviChunk> movi = {
        {"00dc", h264Nal(5)}, {"00dc", h264Nal(1)}, {"00dc", h264Nal(1)}, {"00dc", h264Nal(5)}};
    uint32_t entriesInUse = 1;   // of the super index
    int64_t superTarget = -1;    // where its entry points; -1 = the standard index
    uint32_t standardCount = 0;  // entries in use of the standard index; 0 = all
    uint32_t bogusOffset = 0;    // added to the last standard entry's offset
    bool repeatTarget = false;   // all 4 super index entries name the same index
    const char* standardId = "00dc";

    size_t superIndex = 0;  // file position of the indx chunk header
    std::vector<size_t> chunkPositions;

    std::vector<uint8_t> build() {
        RiffBuilder b;
        b.open("RIFF", "AVI ");
        b.open("LIST", "hdrl");
        mainHeader(b, 40000, 1);
        b.open("LIST", "strl");
        b.streamHeader("vids", "H264", 1, 25, 0, static_cast<uint32_t>(movi.size()));
        b.chunk("strf", bitmapHeader(320, 240, "H264"));
        superIndex = b.size();
        b.open("indx");
        b.le16(4).bytes({0, 0}).le32(entriesInUse).fourcc("00dc").zeros(12);
        size_t entry = b.size();
        b.zeros(16 * 4);
        b.close();
        b.close();
        b.close();
        b.open("LIST", "movi");
        chunkPositions.clear();
        for (const MoviChunk& c : movi) {
            chunkPositions.push_back(b.size());
            b.chunk(c.id.c_str(), c.payload);
        }
        b.close();
        size_t standard = b.size();
        b.open("ix00");
        b.le16(2).bytes({0, 1}).le32(standardCount ? standardCount : uint32_t(movi.size()));
        b.fourcc(standardId).le64(0).le32(0);
        for (size_t i = 0; i < movi.size(); ++i) {
            uint32_t offset = static_cast<uint32_t>(chunkPositions[i] + 8);
            if (i + 1 == movi.size())
                offset += bogusOffset;
            b.le32(offset);
            b.le32(static_cast<uint32_t>(movi[i].payload.size()) | (movi[i].key ? 0 : 0x80000000u));
        }
        b.close();
        b.close();
        std::vector<uint8_t>& d = b.data();
        uint64_t target = superTarget < 0 ? standard : static_cast<uint64_t>(superTarget);
        uint32_t size = static_cast<uint32_t>(b.size() - standard);
        for (size_t e = entry; e < entry + 16 * (repeatTarget ? 4 : 1); e += 16) {
            for (int k = 0; k < 8; ++k)
                d[e + k] = static_cast<uint8_t>(target >> (8 * k));
            for (int k = 0; k < 4; ++k) {
                d[e + 8 + k] = static_cast<uint8_t>(size >> (8 * k));
                d[e + 12 + k] = static_cast<uint8_t>(movi.size() >> (8 * k));
            }
        }
        return d;
    }
};

TEST(AviOdml, SuperIndexLeadsToTheStandardIndex) {
    OdmlAvi f;
    f.movi[1].key = false;
    f.movi[2].key = false;
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    AVStream* video = avi.ctx()->streams[0];
    ASSERT_EQ(video->nb_index_entries, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(video->index_entries[i].pos, static_cast<int64_t>(f.chunkPositions[i]));
        EXPECT_EQ(video->index_entries[i].flags, f.movi[i].key ? 1u : 0u);
    }
    std::vector<ProbePacket> p = avi.readAll();
    ASSERT_EQ(p.size(), 4u);
    EXPECT_TRUE(p[0].key);
    EXPECT_FALSE(p[1].key);
    EXPECT_TRUE(p[3].key);
}

// Damaged OpenDML indexes: what is left of the index, and every chunk
// still read (by the index or by scanning).
struct OdmlDamage {
    const char* name;
    void (*damage)(OdmlAvi& f);
    int entries;
};

class AviOdmlDamage : public ::testing::TestWithParam<OdmlDamage> {};

TEST_P(AviOdmlDamage, KeepsWhatTheFileJustifies) {
    OdmlAvi f;
    GetParam().damage(f);
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    EXPECT_EQ(avi.ctx()->streams[0]->nb_index_entries, GetParam().entries);
    EXPECT_EQ(avi.readAll().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Cases, AviOdmlDamage,
                         ::testing::Values(OdmlDamage{"SelfReferencingSuperIndexIsFollowedOnce",
                                                      [](OdmlAvi& f) {
                                                          f.build();
                                                          f.superTarget =
                                                              static_cast<int64_t>(f.superIndex);
                                                          f.entriesInUse = 4;
                                                      },
                                                      0},
                                           OdmlDamage{"EntriesInUseAreBoundedByTheChunk",
                                                      [](OdmlAvi& f) {
                                                          f.entriesInUse = 0xFFFFFFFF;
                                                          f.standardCount = 0x7FFFFFFF;
                                                      },
                                                      4},
                                           OdmlDamage{"StreamNumberPastTheLastIsIgnored",
                                                      [](OdmlAvi& f) { f.standardId = "01dc"; }, 0},
                                           OdmlDamage{"RepeatedStandardIndexIsReadOnce",
                                                      [](OdmlAvi& f) {
                                                          f.entriesInUse = 4;
                                                          f.repeatTarget = true;
                                                      },
                                                      4},
                                           OdmlDamage{"EntriesRunningPastTheFileAreDropped",
                                                      [](OdmlAvi& f) { f.bogusOffset = 80; }, 3},
                                           OdmlDamage{
                                               "PositionsBeyondTheFileAreDropped",
                                               [](OdmlAvi& f) { f.bogusOffset = 0x10000000; }, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AviPacket, ScanSkipsFillersAndKeepsFileOrder) {
    SmallAvi f;
    f.index = false;
    f.streams = [](RiffBuilder& b) {
        b.streamList("vids", "H264", 1, 25, 0, 3, bitmapHeader(320, 240, "H264"));
        b.streamList("auds", "\0\0\0\0", 1, 8000, 0, 0, waveFormat(0xff, 1, 8000, 0, 16));
        b.streamList("dats", "\0\0\0\0", 1, 25, 0, 0, {});
    };
    f.movi = {{"00dc", h264Nal(5)}, {"JUNK", std::vector<uint8_t>(30, '0')},
              {"01wb", {1, 2, 3}},  {"ix00", std::vector<uint8_t>(24, '1')},
              {"02tx", {4, 5}},     {"00dc", h264Nal(1)},
              {"00dc", h264Nal(5)}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    int end = 0;
    std::vector<ProbePacket> p = avi.readAll(&end);
    EXPECT_EQ(end, AVERROR_EOF);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0].stream, 0);
    EXPECT_EQ(p[1].stream, 1);
    EXPECT_EQ(p[2].stream, 2);
    EXPECT_EQ(p[3].stream, 0);
    // Without an index the key flag comes from the H.264 payload (IDR = NAL type 5).
    EXPECT_TRUE(p[0].key);
    EXPECT_FALSE(p[3].key);
    EXPECT_TRUE(p[4].key);
    EXPECT_EQ(p[4].dts, 2);
    AVStream* video = avi.ctx()->streams[0];
    ASSERT_EQ(video->nb_index_entries, 3);
    EXPECT_EQ(video->index_entries[1].flags, 0u);
    EXPECT_EQ(video->index_entries[2].flags, unsigned(AVINDEX_KEYFRAME));
    // So a seek after a scan lands on a real key frame: the nearest to 1 of
    // the key frames 0 and 2 (a tie goes to the later), never frame 1.
    ASSERT_EQ(avi_read_seek(avi.ctx(), 0, 1, AVSEEK_FLAG_BACKWARD, 0), 0);
    ProbePacket first;
    ASSERT_GT(avi.readOne(&first), 0);
    EXPECT_EQ(first.dts, 2);
    EXPECT_TRUE(first.key);
}

TEST(AviPacket, NonInterleavedWithoutIndexIsScanned) {
    SmallAvi f;
    f.index = false;
    std::vector<uint8_t> file = f.build();
    file[find(file, "avih") + 8 + 12] = 0x20;  // avih flags: must use the index
    AviFile avi;
    ASSERT_EQ(avi.openMemory(file), 0);
    EXPECT_EQ(avi.readAll().size(), 4u);
}

TEST(AviPacket, NonInterleavedReadsInTimeOrderUntilEveryIndexIsExhausted) {
    SmallAvi f;
    // Audio first in the file, then the video: the index puts them in time order.
    f.movi = {{"01wb", std::vector<uint8_t>(16000, 1)},
              {"00dc", h264Nal(5)},
              {"00dc", h264Nal(1)},
              {"00dc", h264Nal(1)}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    EXPECT_EQ(avi.avi()->non_interleaved, 1);
    int end = 0;
    std::vector<ProbePacket> p = avi.readAll(&end);
    EXPECT_EQ(end, AVERROR_EOF);
    int64_t audioBytes = 0;
    int video = 0;
    for (const ProbePacket& q : p) {
        audioBytes += q.stream == 1 ? q.size : 0;
        video += q.stream == 0;
    }
    EXPECT_EQ(audioBytes, 16000);
    EXPECT_EQ(video, 3);
    EXPECT_EQ(p[0].stream, 0) << "video frame 0 and audio sample 0 tie: the lower stream first";
}

TEST(AviPacket, PaletteChangeIsBoundedByItsChunk) {
    SmallAvi f;
    f.index = false;
    // first index 250, count 20 (wraps), but only 2 colours in the chunk
    f.movi = {{"00pc", {250, 20, 0, 0, 0x11, 0x22, 0x33, 0, 0x44, 0x55, 0x66, 0}},
              {"00dc", h264Nal(5)}};
    AviFile avi;
    ASSERT_EQ(avi.openMemory(f.build()), 0);
    std::vector<ProbePacket> p = avi.readAll();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].size, 32 + 1024) << "the palette rides on the next packet";
    AVIStream* ast = static_cast<AVIStream*>(avi.ctx()->streams[0]->priv_data);
    EXPECT_EQ(ast->pal[250], 0x112233u);
    EXPECT_EQ(ast->pal[251], 0x445566u);
    EXPECT_EQ(ast->pal[252], 0u);
}

}  // namespace
