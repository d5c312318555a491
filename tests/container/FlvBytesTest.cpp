// The FLV reader on small files built byte by byte: what ffmpeg does not
// write (frame types, data tags, negative composition offsets, tags too
// short for their headers, odd metadata, timestamps past 24 bits, damaged
// size chains) and what the key-frame seek and backward reading decide at
// their edges.
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

// An AAC sequence header (AudioSpecificConfig of the LC profile) and one frame.
std::vector<Tag> aac(int rateIndex, int channelConfig) {
    const std::string config = {char(2 << 3 | rateIndex >> 1),
                                char((rateIndex & 1) << 7 | channelConfig << 3)};
    return {{8, 0, std::string("\xAF\0", 2) + config}, {8, 23, "\xAF\x01zz"}};
}

// Keys of nested objects and arrays are not the file's: only the members of
// the top-level array count.
AmfBuilder nestedKeys() {
    AmfBuilder b;
    b.text("inner").beginObject().text("height").number(999).text("width").number(999).end();
    b.text("list").beginEcma(2).text("height").number(888).text("duration").number(5).end();
    return b.text("values").beginStrict(1).number(777);
}

// A sequence header (48 kHz mono), then one larger than any codec set-up,
// which is not kept.
std::vector<Tag> oversizedSequenceHeader() {
    std::vector<Tag> tags = aac(3, 1);
    tags.insert(tags.begin() + 1,
                {8, 10, std::string("\xAF\0", 2) + std::string((1 << 20) + 1, '\0')});
    return tags;
}

// onMetaData as an object rather than an array: its keys are not the file's.
Tag objectMetadata() {
    const std::vector<uint8_t> bytes =
        AmfBuilder().string("onMetaData").beginObject().text("width").number(320).end().bytes();
    return {18, 0, std::string(bytes.begin(), bytes.end())};
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
    {"TimestampExtensionByteIsTheTopByte", flv(1, {{9, -40, "\x12z"}, {9, 0x12345678, "\x22yz"}}),
     "0:-40:-40:1:1 0:305419896:305419896:2:0 ", "0,22,0,0,0,0 d=3430008000"},
    {"AacConfigurationSevenIsEightChannels", flv(4, aac(3, 7)), "0:23:23:2:1 ",
     "1,86018,48000,8,0,0 d=23000"},
    {"AacConfigurationsOneToSixAreTheirCount", flv(4, aac(11, 6)), "0:23:23:2:1 ",
     "1,86018,8000,6,0,0 d=23000"},
    {"AacConfigurationZeroKeepsTheFlagsCount", flv(4, aac(7, 0)), "0:23:23:2:1 ",
     "1,86018,22050,2,0,0 d=23000"},
    {"AacReservedConfigurationKeepsTheFlagsCount", flv(4, aac(11, 15)), "0:23:23:2:1 ",
     "1,86018,8000,2,0,0 d=23000"},
    {"SequenceHeaderOverTheCapIsNotKept", flv(4, oversizedSequenceHeader()), "0:23:23:2:1 ",
     "1,86018,48000,1,0,0 d=23000"},
    {"ObjectMetadataKeysAreNotApplied", flv(1, {objectMetadata(), {9, 7, "\x12yz"}}), "0:7:7:2:1 ",
     "0,22,0,0,0,0 d=7000"},
    {"PcmFlagsNameTheSampleSize",
     flv(4, {{8, 0,
              "\x30"
              "ab"},
             {8, 9,
              "\x36"
              "cd"}}),
     "0:0:0:2:1 0:9:9:2:1 ", "1,65541,5512,1,0,0 d=9000"},
    {"NestedMetadataKeysAreNotApplied",
     flv(1, {metadata({{"width", 320}}, nestedKeys()), {9, 7, "\x12yz"}}), "0:7:7:2:1 ",
     "0,22,0,0,320,0 d=7000"},
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

// stream:dts of every packet read backwards, and the end result.
std::string readBackward(std::vector<uint8_t> file) {
    FlvFile f;
    if (f.openMemory(std::move(file), 3) != 0)
        return "no header";
    std::ostringstream out;
    int end = 0;
    for (const ProbePacket& p : f.readAll(&end))
        out << p.stream << ":" << p.dts << " ";
    return out.str() + std::to_string(end);
}

// The video stream's discard level skips disposable frames (16), every
// frame but key frames (32) or every tag (48); sound is kept below 48.
TEST(FlvDiscard, LevelsSkipVideoTags) {
    const std::vector<uint8_t> file = flv(5, {{9, 0,
                                               "\x12"
                                               "a"},
                                              {9, 40,
                                               "\x22"
                                               "b"},
                                              {9, 80,
                                               "\x32"
                                               "c"},
                                              {8, 90,
                                               "\x3E"
                                               "d"},
                                              {9, 120,
                                               "\x12"
                                               "e"}});
    const struct {
        int discard;
        const char* dts;
    } cases[] = {{0, "0 40 80 90 120 "}, {16, "0 40 90 120 "}, {32, "0 90 120 "}, {48, "90 "}};
    for (const auto& c : cases) {
        FlvFile f;
        ASSERT_EQ(f.openMemory(file), 0);
        f.ctx()->streams[0]->discard = c.discard;
        std::ostringstream dts;
        for (const ProbePacket& p : f.readAll())
            dts << p.dts << " ";
        EXPECT_EQ(dts.str(), c.dts) << c.discard;
    }
}

// A group ends before the tag of the key frame that began the later group
// and before its time; the last group runs to the file's end, sound after
// the last picture included.
TEST(FlvBackward, GroupsEndAtTheLaterKeyFrameInPlaceAndTime) {
    EXPECT_EQ(readBackward(flv(5, {{9, 0,
                                    "\x12"
                                    "a"},
                                   {8, 10,
                                    "\x3E"
                                    "b"},
                                   {9, 40,
                                    "\x22"
                                    "c"},
                                   {8, 80,
                                    "\x3E"
                                    "d"},  // before the key frame, at its time
                                   {9, 80,
                                    "\x12"
                                    "e"},
                                   {8, 70,
                                    "\x3E"
                                    "f"},  // after the key frame, before its time
                                   {9, 120, "\x22g"},
                                   {8, 130, "\x3Eh"}})),
              "0:80 0:120 1:130 0:0 1:10 0:40 -32");
}

// A previous-tag size that does not match the tag it points at ends the
// chain there: the bytes it points at (here a key frame at 999 ms inside a
// payload) are not taken for a tag.
TEST(FlvBackward, SizeFieldsThatDoNotMatchTheirTagAreNotFollowed) {
    const std::string fake =
        be(0, 4) + be(9, 1) + be(2, 3) + be(999, 3) + be(0, 4) + "\x12z" + "pad";
    std::vector<uint8_t> file = flv(1, {{9, 0,
                                         "\x12"
                                         "a"},
                                        {9, 40, "\x22" + fake}});
    const uint32_t wrong = static_cast<uint32_t>(fake.size() - 4);  // points at the fake tag
    for (int i = 0; i < 4; i++)
        file[file.size() - 4 + size_t(i)] = uint8_t(wrong >> (24 - 8 * i));
    EXPECT_EQ(readBackward(file), "0:0 0:40 -32");
}

// Key frames at 0, 100 and 200 with a picture between each: a target
// halfway between two goes to the one that ended the walk, the later one
// going forward and the earlier one going backward.
TEST(FlvSeek, TiesGoToTheCandidateThatEndedTheWalk) {
    FlvFile f;
    ASSERT_EQ(f.openMemory(flv(1, {{9, 0,
                                    "\x12"
                                    "a"},
                                   {9, 50,
                                    "\x22"
                                    "b"},
                                   {9, 100,
                                    "\x12"
                                    "c"},
                                   {9, 150,
                                    "\x22"
                                    "d"},
                                   {9, 200,
                                    "\x12"
                                    "e"},
                                   {9, 250,
                                    "\x22"
                                    "f"}})),
              0);
    const auto seek = [&](int64_t target) {
        if (flv_seek_frame(f.ctx(), target, 0, 0) != 1)
            return int64_t{-1};
        const std::vector<ProbePacket> p = f.readAll(nullptr, 1);
        flv_seek_frame(f.ctx(), p.at(0).dts, 0, 0);  // back onto the key frame
        return p.at(0).dts;
    };
    EXPECT_EQ(seek(50), 100);   // from 0 forwards
    EXPECT_EQ(seek(250), 200);  // nothing after 250
    EXPECT_EQ(seek(150), 100);  // from 200 backwards
    f.readAll();
    EXPECT_EQ(seek(1000), 200);  // from the end
    EXPECT_EQ(seek(-1), -1);
}

// With the first key frame at 25 ms, a seek to the start lands on it, from
// the start and from the end of the file.
TEST(FlvSeek, BeforeTheFirstKeyFrameLandsOnIt) {
    FlvFile f;
    ASSERT_EQ(f.openMemory(flv(1, {{9, 25,
                                    "\x12"
                                    "a"},
                                   {9, 65,
                                    "\x22"
                                    "b"},
                                   {9, 105,
                                    "\x22"
                                    "c"}})),
              0);
    ASSERT_EQ(flv_seek_frame(f.ctx(), 0, 0, 0), 1);
    EXPECT_EQ(f.readAll(nullptr, 1).at(0).dts, 25);
    f.readAll();
    ASSERT_EQ(flv_seek_frame(f.ctx(), 0, 0, 0), 1);
    EXPECT_EQ(f.readAll(nullptr, 1).at(0).dts, 25);
}

}  // namespace
