// The AMF0 walker: every marker it accepts or refuses, the reporting rules,
// and the bounds that keep malformed records from running past their end.
#include <gtest/gtest.h>

#include <limits>

#include "AmfBuilder.h"
#include "RecordingParse.h"

namespace {

int parse(RecordingParse& p, const AmfBuilder& b) {
    return p.ParseRecord(b.data(), b.size());
}

// A record whose ECMA array holds the single member `key` with value `value`.
AmfBuilder oneMember(const AmfBuilder& value, const std::string& key = "k") {
    AmfBuilder b = AmfBuilder::record("GPS", 1);
    return b.text(key).append(value).end();
}

AmfBuilder numberBits(uint64_t bits) {
    return AmfBuilder().byte(0).be64(bits);
}

// `levels` containers, each the only member or element of the one around it.
AmfBuilder nested(int levels, int marker) {
    AmfBuilder b;
    for (int i = 0; i < levels; ++i)
        marker == 3   ? b.beginObject().text("k")
        : marker == 8 ? b.beginEcma(1).text("k")
                      : b.beginStrict(1);
    b.number(1);
    for (int i = 0; i < levels && marker != 10; ++i)
        b.end();
    return b;
}

}  // namespace

TEST(Parse, EveryAcceptedMarkerIsReportedUnderItsKey) {
    const struct {
        AmfBuilder value;
        double num;
        std::string str;
        int amfType;
    } cases[] = {{AmfBuilder().number(-12.25), -12.25, "", 0},
                 {numberBits(0x7FF0000000000000), std::numeric_limits<double>::infinity(), "", 0},
                 {numberBits(0x7FF8000000000000), 0.0, "", 0},  // NaN reads as 0
                 {AmfBuilder().boolean(200), 200.0, "", 1},
                 {AmfBuilder().string("B123"), 0.0, "B123", 2},
                 {AmfBuilder().beginObject().text("a").number(1).end(), 0.0, "", 3},
                 {AmfBuilder().byte(5), 0.0, "", 5},
                 {AmfBuilder().byte(6), 0.0, "", 6},
                 {AmfBuilder().beginEcma(1).text("a").number(1).end(), 0.0, "", 8},
                 {AmfBuilder().beginStrict(2).number(1).string("x"), 0.0, "", 10},
                 {AmfBuilder().byte(11).be64(0x4277000000000000).be16(0), 0.0, "", 11},
                 {AmfBuilder().byte(13), 0.0, "", 13}};
    for (const auto& c : cases) {
        RecordingParse p;
        ASSERT_EQ(parse(p, oneMember(c.value)), 0) << c.amfType;
        ASSERT_FALSE(p.reports.empty());
        const Report& r = p.reports.back();
        EXPECT_EQ(r.key, "k");
        EXPECT_EQ(r.num, c.num) << c.amfType;
        EXPECT_EQ(r.str, c.str);
        EXPECT_EQ(r.amfType, c.amfType);
    }
    // Movie clip, reference, object end, long string and unknown markers fail.
    for (int marker : {4, 7, 9, 12, 14, 15, 127, 255}) {
        RecordingParse p;
        EXPECT_EQ(parse(p, oneMember(AmfBuilder().byte(marker).be64(0))), -1) << marker;
        EXPECT_EQ(parse(p, AmfBuilder().byte(marker)), -1) << marker;
    }
}

TEST(Parse, MembersOfEcmaArraysAtAnyDepthAreReported) {
    // After their own members; object members, strict-array elements and the
    // record name never are, but an ECMA array inside an object reports its own.
    AmfBuilder value;
    value.beginEcma(3).text("inner").beginEcma(1).text("deep").number(2).end();
    value.text("obj").beginObject().text("hidden").number(3);
    value.text("e").beginEcma(1).text("inObject").number(5).end().end();
    value.text("list").beginStrict(1).number(4).end();
    RecordingParse p;
    EXPECT_EQ(p.ParseRecord(nullptr, 0), 0);
    ASSERT_EQ(parse(p, oneMember(value, "top")), 0);
    std::vector<std::string> keys;
    for (const Report& r : p.reports)
        keys.push_back(r.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"deep", "inner", "inObject", "obj", "list", "top"}));
    EXPECT_EQ(p.reports[0].num, 2.0);
    EXPECT_EQ(p.reports[2].num, 5.0);
}

TEST(Parse, BoundsDecideTheRecordsResult) {
    const std::pair<AmfBuilder, int> cases[] = {
        {oneMember(AmfBuilder().string(std::string(255, 's'))), 0},
        {oneMember(AmfBuilder().string(std::string(256, 's'))), -1},
        {AmfBuilder().string("GPS").byte(2).be16(10).raw("abc"), -1},  // string past the end
        {AmfBuilder().string(std::string(256, 'G')), -1},
        {AmfBuilder().byte(2).be16(3).raw("GP"), -1},
        {AmfBuilder::record("GPS", 0).be16(0).byte(8), -1},  // ECMA end not 9
        {AmfBuilder::record("GPS", 0).be16(0), -1},          // ECMA end missing
        {AmfBuilder::record("GPS", 1).text(std::string(256, 'k')), -1},
        {AmfBuilder::record("GPS", 1000).end(), 0},  // the ECMA count is not used
        {AmfBuilder().beginObject().be16(0).byte(0), -1},
        {AmfBuilder().beginObject().be16(40).byte(5).be16(0).byte(9), -1},  // key past the end
        {AmfBuilder().beginObject().text("a").number(1), -1},
        {AmfBuilder().beginStrict(10).number(1), -1},
        {AmfBuilder().beginStrict(0xffffffffu), -1},
        {AmfBuilder().beginStrict(3).number(1), 0},  // short of elements: they read as 0
        {AmfBuilder().string("GPS").byte(11).be64(0x4277000000000000).be16(0), 0},
        {nested(32, 3), 0},
        {nested(33, 3), -1},
        {nested(32, 8), 0},
        {nested(33, 8), -1},
        {nested(32, 10), 0},
        {nested(33, 10), -1}};
    int row = 0;
    for (const auto& [record, result] : cases) {
        RecordingParse p;
        EXPECT_EQ(parse(p, record), result) << "row " << row++;
    }
}

// A recorder that writes a wrong member count keeps its records: the
// members are bounded by the bytes left and the end marker, not the count.
TEST(Parse, AnEcmaArraysCountIsIgnored) {
    for (uint32_t count : {0u, 1u, 2u, 3u, 1000u, 0xffffffffu}) {
        RecordingParse p;
        AmfBuilder b = AmfBuilder::record("GPS", count);
        b.text("lat").number(22.5).text("lon").number(113.9).end();
        ASSERT_EQ(parse(p, b), 0) << count;
        ASSERT_EQ(p.reports.size(), 2u) << count;
        EXPECT_EQ(p.reports[0].num, 22.5);
        EXPECT_EQ(p.reports[1].key, "lon");
    }
}

TEST(ParseAMF2, AdvancesByTheBytesConsumedAndMissingBytesReadAsZero) {
    AmfBuilder b;
    b.string("GPS").number(2.5).boolean(1).byte(0).byte(0x40).byte(0x09);  // 3.125, cut short
    std::vector<uint8_t> bytes = b.bytes();
    unsigned char* cursor = bytes.data();
    int remaining = b.size();
    RecordingParse p;
    for (int left : {b.size() - 6, b.size() - 15, 3, 0, 0}) {
        ASSERT_EQ(p.ParseAMF2(&cursor, &remaining, "k"), 0);
        EXPECT_EQ(remaining, left);
    }
    EXPECT_EQ(cursor, bytes.data() + bytes.size());
    ASSERT_EQ(p.reports.size(), 5u);
    EXPECT_EQ(p.reports[0].str, "GPS");
    EXPECT_EQ(p.reports[1].num, 2.5);
    EXPECT_EQ(p.reports[2].num, 1.0);
    EXPECT_EQ(p.reports[3].num, 3.125);
    EXPECT_EQ(p.reports[4].num, 0.0);  // nothing left: the number 0
    AmfBuilder cutBoolean;
    cutBoolean.byte(1);
    cursor = const_cast<unsigned char*>(cutBoolean.data());
    remaining = 1;
    ASSERT_EQ(p.ParseAMF2(&cursor, &remaining, "k"), 0);
    EXPECT_EQ(p.reports.back().amfType, 1);
    EXPECT_EQ(p.reports.back().num, 0.0);
}

TEST(RecordName, IsTakenOnlyFromAWholeHeader) {
    const std::pair<AmfBuilder, QByteArray> cases[] = {
        {AmfBuilder().string(std::string(255, 'n')), QByteArray(255, 'n')},
        {AmfBuilder().string(std::string(256, 'n')), ""},
        {AmfBuilder().byte(2).be16(3).raw("GP"), ""},
        {AmfBuilder().byte(2).byte(0), ""},
        {AmfBuilder().byte(0).be16(3).raw("GPS"), ""},
        {AmfBuilder(), ""}};
    for (const auto& [record, name] : cases)
        EXPECT_EQ(Parse::RecordName(record.data(), record.size()), name);
}
