// The FLV reader on small files built byte by byte: what ffmpeg does not
// write (frame types, data tags, negative composition offsets, tags too
// short for their headers, odd metadata).
#include <gtest/gtest.h>

#include <cmath>
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

// Header flags, then the tags with their chain of sizes.
std::vector<uint8_t> flv(int flags, const std::vector<Tag>& tags) {
    std::string out = "FLV\1" + be(flags, 1) + be(9, 4) + be(0, 4);
    for (const Tag& t : tags)
        out += be(t.type, 1) + be(t.data.size(), 3) + be(t.ts & 0xFFFFFF, 3) +
               be(uint32_t(t.ts) >> 24, 1) + be(0, 3) + t.data + be(t.data.size() + 11, 4);
    return {out.begin(), out.end()};
}

// onMetaData with the numbers, then `more`.
Tag metadata(const std::vector<std::pair<const char*, double>>& numbers,
             const AmfBuilder& more = {}) {
    AmfBuilder b = AmfBuilder::record("onMetaData", 0);
    for (const auto& [key, value] : numbers)
        b.text(key).number(value);
    const std::vector<uint8_t> bytes = b.append(more).end().bytes();
    return {18, 0, std::string(bytes.begin(), bytes.end())};
}

// "mono", then a member nested deeper than the walk goes, then a width that must not count.
AmfBuilder monoAndTooDeep() {
    AmfBuilder b;
    b.text("mono").boolean(1).text("deep");
    for (int i = 0; i < 40; i++)
        b.beginObject().text("o");
    b.number(1);
    for (int i = 0; i < 40; i++)
        b.end();
    return b.text("width").number(64);
}

struct BytesCase {
    const char* name;
    std::vector<uint8_t> file;
    const char* packets;  // stream:dts:pts:size:key each
    const char* streams;  // type,codec,rate,channels,width,height each; the duration
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
    {"MetadataOutOfRangeAndTooDeep",
     flv(5, {metadata({{"duration", NAN},
                       {"width", 1e300},
                       {"height", 120},
                       {"framerate", -5},
                       {"audiosamplerate", 22000},
                       {"audiosamplesize", 16}},
                      monoAndTooDeep()),
             {8, 7, "\x3Epcm"}}),
     "1:7:7:3:1 ", "0,0,0,0,0,120 1,65536,22050,1,0,0 d=7000"},
    {"AudioFlagsBeforeMetadataKeepTheirRate",
     flv(5, {{8, 0, "\x2Ex"}, metadata({{"audiosamplerate", 22000}})}), "1:0:0:1:1 ",
     "0,0,0,0,0,0 1,86017,44100,1,0,0 d=0"},
};

class FlvBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(FlvBytes, PacketsAndStreams) {
    FlvFile f;
    ASSERT_EQ(f.openMemory(GetParam().file), 0);
    std::ostringstream packets, streams;
    const AVPacket* p = f.packet();
    int r;
    while ((r = flv_read_packet(f.ctx(), f.packet())) > 0) {
        packets << p->stream_index << ":"
                << (p->dts == AV_NOPTS_VALUE ? "N" : std::to_string(p->dts)) << ":" << p->pts << ":"
                << p->size << ":" << (p->flags & 1) << " ";
    }
    EXPECT_EQ(r, AVERROR_SPIPE);
    EXPECT_EQ(packets.str(), GetParam().packets);
    for (unsigned i = 0; i < f.ctx()->nb_streams; i++) {
        const AVCodecContext* c = f.ctx()->streams[i]->codec;
        streams << c->codec_type << "," << c->codec_id << "," << c->sample_rate << ","
                << c->channels << "," << c->width << "," << c->height << " ";
    }
    EXPECT_EQ(streams.str() + "d=" + std::to_string(f.ctx()->duration), GetParam().streams);
}

INSTANTIATE_TEST_SUITE_P(Built, FlvBytes, ::testing::ValuesIn(kBytes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
