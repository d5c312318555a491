// The FLV reader on small files built byte by byte: the cases ffmpeg does
// not write (frame types, data tags, negative composition offsets, tags too
// short for their headers, odd metadata values).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "AmfBuilder.h"
#include "FlvFile.h"

using namespace container;
using namespace containertest;

namespace {

std::string be(uint64_t v, int n) {
    std::string s;
    while (n-- > 0)
        s += static_cast<char>(v >> (8 * n));
    return s;
}

struct Tag {
    int type;
    int32_t ts;
    std::string data;
};

// Header flags, the tags with their size chain, and the last tag's size.
std::string flv(int flags, const std::vector<Tag>& tags) {
    std::string out = "FLV\1" + be(flags, 1) + be(9, 4);
    uint64_t previous = 0;
    for (const Tag& t : tags) {
        out += be(previous, 4) + be(t.type, 1) + be(t.data.size(), 3) + be(t.ts & 0xFFFFFF, 3) +
               be(static_cast<uint32_t>(t.ts) >> 24, 1) + be(0, 3) + t.data;
        previous = t.data.size() + 11;
    }
    return out + be(previous, 4);
}

// onMetaData as an ECMA array of the members (built with the telemetry tests' AMF0 builder).
Tag metadata(const AmfBuilder& members) {
    const std::vector<uint8_t> b =
        AmfBuilder::record("onMetaData", 0).append(members).end().bytes();
    return {18, 0, std::string(b.begin(), b.end())};
}

AmfBuilder numbers(const std::vector<std::pair<const char*, double>>& members) {
    AmfBuilder b;
    for (const auto& [key, value] : members)
        b.text(key).number(value);
    return b;
}

// Values out of range, then a member nested deeper than the walk goes
// (with a width after it that must not count).
AmfBuilder oddValues() {
    AmfBuilder b = numbers({{"duration", std::nan("")},
                            {"width", 1e300},
                            {"height", 120},
                            {"framerate", -5},
                            {"videodatarate", INFINITY},
                            {"audiosamplerate", 22000},
                            {"audiosamplesize", 16}});
    b.text("mono").boolean(1).text("deep");
    for (int i = 0; i < 40; i++)
        b.beginObject().text("o");
    b.number(1);
    for (int i = 0; i < 40; i++)
        b.end();
    return b.append(numbers({{"width", 64}}));
}

struct BytesCase {
    const char* name;
    std::string file;
    const char* packets;  // stream:dts:pts:size:key each
    const char* streams;  // type,codec,rate,channels,width,height each; then the duration
};

const BytesCase kBytes[] = {
    {"InfoFramesUnknownTagsAndDataTags",
     flv(0, {{9, 0, "\x52zz"},
             {15, 5, "qq"},
             {9, 10,
              "\x12"
              "ab"},
             {16, 20, "\x22xyz"}}),
     "0:10:10:2:1 2:20:20:3:1 ", "0,22,0,0,0,0 1,0,0,0,0,0 2,22,0,0,0,0 d=20000"},
    {"NegativeCompositionOffsetLosesDts",
     flv(1, {{9, 0, std::string("\x17\0\0\0\0avc", 8)},
             {9, 40, "\x17\x01\xFF\xFF\xFFx"},
             {9, 80, std::string("\x27\x01\0\0\x05yy", 7)}}),
     "0:N:39:1:1 0:N:85:2:0 ", "0,28,0,0,0,0 d=80000"},
    {"TagsShorterThanTheirHeaders",
     flv(5, {{9, 1, std::string("\x17\x01\0", 3)},
             {8, 2, "\xAF"},
             {8, 3, "\xAF\x01"},
             {8, 5, "\xAF\x01zz"}}),
     "1:5:5:2:1 ", "0,28,0,0,0,0 1,86018,44100,2,0,0 d=5000"},
    {"MetadataOutOfRangeAndTooDeep", flv(5, {metadata(oddValues()), {8, 7, "\x3Epcm"}}),
     "1:7:7:3:1 ", "0,0,0,0,0,120 1,65536,22050,1,0,0 d=7000"},
    {"AudioFlagsBeforeMetadataKeepTheirRate",
     flv(5, {{8, 0, "\x2Ex"}, metadata(numbers({{"audiosamplerate", 22000}, {"height", 120}}))}),
     "1:0:0:1:1 ", "0,0,0,0,0,120 1,86017,44100,1,0,0 d=0"},
};

class FlvBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(FlvBytes, PacketsAndStreams) {
    FlvFile f;
    const std::string& bytes = GetParam().file;
    ASSERT_EQ(f.openMemory(std::vector<uint8_t>(bytes.begin(), bytes.end())), 0);
    std::ostringstream packets, streams;
    AVPacket* pkt = f.packet();
    int r;
    while ((r = flv_read_packet(f.ctx(), pkt)) > 0) {
        packets << pkt->stream_index << ":";
        (pkt->dts == AV_NOPTS_VALUE ? packets << "N" : packets << pkt->dts);
        packets << ":" << pkt->pts << ":" << pkt->size << ":" << (pkt->flags & 1) << " ";
    }
    EXPECT_EQ(r, AVERROR_SPIPE);
    EXPECT_EQ(packets.str(), GetParam().packets);
    for (unsigned i = 0; i < f.ctx()->nb_streams; i++) {
        const AVCodecContext* c = f.ctx()->streams[i]->codec;
        streams << c->codec_type << "," << c->codec_id << "," << c->sample_rate << ","
                << c->channels << "," << c->width << "," << c->height << " ";
    }
    streams << "d=" << f.ctx()->duration;
    EXPECT_EQ(streams.str(), GetParam().streams);
}

INSTANTIATE_TEST_SUITE_P(Built, FlvBytes, ::testing::ValuesIn(kBytes),
                         [](const auto& info) { return std::string(info.param.name); });

// One group whose key frame is not at 0: a seek before it stays put; backward
// reading gives the group, then no earlier one.
TEST(FlvBytes, SeekBeforeFirstKeyFrameAndOnlyGroupBackward) {
    const std::string bytes = flv(1, {{9, 100,
                                       "\x12"
                                       "a"},
                                      {9, 140,
                                       "\x22"
                                       "b"},
                                      {9, 180,
                                       "\x22"
                                       "c"}});
    FlvFile forward, backward;
    ASSERT_EQ(forward.openMemory({bytes.begin(), bytes.end()}), 0);
    EXPECT_EQ(flv_seek_frame(forward.ctx(), 50, 0, 0), 0);
    EXPECT_EQ(url_ftell(forward.ctx()->pb), 9);
    EXPECT_EQ(flv_seek_frame(forward.ctx(), 170, 0, 0), 1);
    ASSERT_EQ(backward.openMemory({bytes.begin(), bytes.end()}, 3), 0);
    int end = 0;
    const std::vector<ProbePacket> got = backward.readAll(&end);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].dts * 10000 + got[1].dts * 100 + got[2].dts, 1014180);
    EXPECT_EQ(end, AVERROR_SPIPE);
}

}  // namespace
