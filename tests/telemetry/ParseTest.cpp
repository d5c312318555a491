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
    for (int i = 0; i < levels; ++i) {
        marker == 3   ? b.beginObject().text("k")
        : marker == 8 ? b.beginEcma(1).text("k")
                      : b.beginStrict(1);
    }
    b.number(1);
    for (int i = 0; i < levels && marker != 10; ++i) {
        b.end();
    }
    return b;
}

}  // namespace

struct MarkerCase {
    const char* name;
    AmfBuilder value;
    double num;
    std::string str;
    int amfType;
};

class AcceptedMarker : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(AcceptedMarker, IsReportedUnderItsKey) {
    const MarkerCase& c = GetParam();
    RecordingParse p;
    ASSERT_EQ(parse(p, oneMember(c.value)), 0);
    ASSERT_FALSE(p.reports.empty());
    const Report& r = p.reports.back();
    EXPECT_EQ(r.key, "k");
    EXPECT_EQ(r.num, c.num);
    EXPECT_EQ(r.str, c.str);
    EXPECT_EQ(r.amfType, c.amfType);
}

INSTANTIATE_TEST_SUITE_P(
    EveryMarker, AcceptedMarker,
    ::testing::Values(
        MarkerCase{"Number", AmfBuilder().number(-12.25), -12.25, "", 0},
        MarkerCase{"Infinity", numberBits(0x7FF0000000000000),
                   std::numeric_limits<double>::infinity(), "", 0},
        MarkerCase{"NaNReadsAsZero", numberBits(0x7FF8000000000000), 0.0, "", 0},
        MarkerCase{"Boolean", AmfBuilder().boolean(200), 200.0, "", 1},
        MarkerCase{"String", AmfBuilder().string("B123"), 0.0, "B123", 2},
        MarkerCase{"EmptyString", AmfBuilder().string(""), 0.0, "", 2},
        MarkerCase{"Object", AmfBuilder().beginObject().text("a").number(1).end(), 0.0, "", 3},
        MarkerCase{"Null", AmfBuilder().byte(5), 0.0, "", 5},
        MarkerCase{"Undefined", AmfBuilder().byte(6), 0.0, "", 6},
        MarkerCase{"EcmaArray", AmfBuilder().beginEcma(1).text("a").number(1).end(), 0.0, "", 8},
        MarkerCase{"StrictArray", AmfBuilder().beginStrict(2).number(1).string("x"), 0.0, "", 10},
        MarkerCase{"Date", AmfBuilder().byte(11).be64(0x4277000000000000).be16(0), 0.0, "", 11},
        MarkerCase{"Unsupported", AmfBuilder().byte(13), 0.0, "", 13}),
    [](const ::testing::TestParamInfo<MarkerCase>& info) { return std::string(info.param.name); });

class RefusedMarker : public ::testing::TestWithParam<int> {};

TEST_P(RefusedMarker, FailsTheRecord) {
    RecordingParse p;
    EXPECT_EQ(parse(p, oneMember(AmfBuilder().byte(GetParam()).be64(0))), -1);
    EXPECT_EQ(parse(p, AmfBuilder().byte(GetParam())), -1);
}

INSTANTIATE_TEST_SUITE_P(MovieClipReferenceEndLongStringOthers, RefusedMarker,
                         ::testing::Values(4, 7, 9, 12, 14, 15, 127, 255));

TEST(Parse, MembersOfNestedContainers) {
    // ECMA members are reported at any depth, after which the array itself
    // is; object members and strict-array elements never are.
    AmfBuilder value;
    value.beginEcma(3).text("inner").beginEcma(1).text("deep").number(2).end();
    value.text("obj").beginObject().text("hidden").number(3).end();
    value.text("list").beginStrict(1).number(4).end();
    RecordingParse p;
    ASSERT_EQ(parse(p, oneMember(value, "top")), 0);
    std::vector<std::string> keys;
    for (const Report& r : p.reports) {
        keys.push_back(r.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"deep", "inner", "obj", "list", "top"}));
    EXPECT_EQ(p.reports[0].num, 2.0);
}

TEST(Parse, RecordNameIsNeverReportedAndAnEmptyRecordReportsNothing) {
    RecordingParse p;
    EXPECT_EQ(p.ParseRecord(nullptr, 0), 0);
    EXPECT_EQ(p.ParseRecord(AmfBuilder().data(), 0), 0);
    EXPECT_TRUE(p.reports.empty());
    AmfBuilder b = AmfBuilder::record("GPS", 3);
    b.text("lat").number(22.5).text("lon").number(113.9).text("carInfo").string("A").end();
    ASSERT_EQ(parse(p, b), 0);
    ASSERT_EQ(p.reports.size(), 3u);
    EXPECT_EQ(p.reports[0].key, "lat");
    EXPECT_EQ(p.reports[2].str, "A");
}

struct BoundsCase {
    const char* name;
    AmfBuilder record;
    int result;
};

class Bounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(Bounds, RecordResult) {
    RecordingParse p;
    EXPECT_EQ(parse(p, GetParam().record), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Bounds,
    ::testing::Values(
        BoundsCase{"String255", oneMember(AmfBuilder().string(std::string(255, 's'))), 0},
        BoundsCase{"String256", oneMember(AmfBuilder().string(std::string(256, 's'))), -1},
        BoundsCase{"StringPastEnd", AmfBuilder().string("GPS").byte(2).be16(10).raw("abc"), -1},
        BoundsCase{"Name256", AmfBuilder().string(std::string(256, 'G')), -1},
        BoundsCase{"NameLongerThanRecord", AmfBuilder().byte(2).be16(3).raw("GP"), -1},
        BoundsCase{"EcmaEndNot9", AmfBuilder::record("GPS", 0).be16(0).byte(8), -1},
        BoundsCase{"EcmaMissingEnd", AmfBuilder::record("GPS", 0).be16(0), -1},
        BoundsCase{"EcmaKey256", AmfBuilder::record("GPS", 1).text(std::string(256, 'k')), -1},
        BoundsCase{"EcmaCountPastEnd", AmfBuilder::record("GPS", 1000).end(), -1},
        BoundsCase{"ObjectEndNot9", AmfBuilder().beginObject().be16(0).byte(0), -1},
        BoundsCase{"ObjectKeyPastEnd", AmfBuilder().beginObject().be16(40).byte(5).be16(0).byte(9),
                   -1},
        BoundsCase{"ObjectMissingEnd", AmfBuilder().beginObject().text("a").number(1), -1},
        BoundsCase{"StrictCountPastEnd", AmfBuilder().beginStrict(10).number(1), -1},
        BoundsCase{"StrictHugeCount", AmfBuilder().beginStrict(0xffffffffu), -1},
        BoundsCase{"StrictShortOfElements", AmfBuilder().beginStrict(3).number(1), 0},
        BoundsCase{"DateEndsRecord",
                   AmfBuilder().string("GPS").byte(11).be64(0x4277000000000000).be16(0), 0},
        BoundsCase{"ObjectDepth32", nested(32, 3), 0},
        BoundsCase{"ObjectDepth33", nested(33, 3), -1}, BoundsCase{"EcmaDepth32", nested(32, 8), 0},
        BoundsCase{"EcmaDepth33", nested(33, 8), -1},
        BoundsCase{"StrictDepth32", nested(32, 10), 0},
        BoundsCase{"StrictDepth33", nested(33, 10), -1}),
    [](const ::testing::TestParamInfo<BoundsCase>& info) { return std::string(info.param.name); });

TEST(ParseAMF2, AdvancesCursorByTheBytesConsumed) {
    AmfBuilder b;
    b.string("GPS").number(2.5).boolean(1);
    std::vector<uint8_t> bytes = b.bytes();
    unsigned char* cursor = bytes.data();
    int remaining = b.size();
    RecordingParse p;
    for (int left : {b.size() - 6, 2, 0}) {
        ASSERT_EQ(p.ParseAMF2(&cursor, &remaining, "k"), 0);
        EXPECT_EQ(remaining, left);
    }
    EXPECT_EQ(cursor, bytes.data() + bytes.size());
    ASSERT_EQ(p.reports.size(), 3u);
    EXPECT_EQ(p.reports[0].str, "GPS");
    EXPECT_EQ(p.reports[1].num, 2.5);
    EXPECT_EQ(p.reports[2].num, 1.0);
}

TEST(ParseAMF2, MissingBytesReadAsZero) {
    const struct {
        AmfBuilder bytes;
        double num;
        int amfType;
    } cases[] = {
        {AmfBuilder(), 0.0, 0},                                  // nothing left: the number 0
        {AmfBuilder().byte(1), 0.0, 1},                          // boolean without its byte
        {AmfBuilder().byte(0).byte(0x40).byte(0x09), 3.125, 0},  // 0x4009000000000000
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = c.bytes.bytes();
        unsigned char* cursor = bytes.data();
        int remaining = c.bytes.size();
        RecordingParse p;
        ASSERT_EQ(p.ParseAMF2(&cursor, &remaining, "k"), 0);
        EXPECT_EQ(remaining, 0);
        ASSERT_EQ(p.reports.size(), 1u);
        EXPECT_EQ(p.reports[0].num, c.num);
        EXPECT_EQ(p.reports[0].amfType, c.amfType);
    }
}

struct NameCase {
    const char* name;
    AmfBuilder record;
    QByteArray expected;
};

class RecordName : public ::testing::TestWithParam<NameCase> {};

TEST_P(RecordName, IsTakenOnlyFromAWholeHeader) {
    const NameCase& c = GetParam();
    EXPECT_EQ(Parse::RecordName(c.record.data(), c.record.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordName,
    ::testing::Values(NameCase{"Length255", AmfBuilder().string(std::string(255, 'n')),
                               std::string(255, 'n').c_str()},
                      NameCase{"Length256", AmfBuilder().string(std::string(256, 'n')), ""},
                      NameCase{"ShorterThanName", AmfBuilder().byte(2).be16(3).raw("GP"), ""},
                      NameCase{"HeaderCut", AmfBuilder().byte(2).byte(0), ""},
                      NameCase{"NotAString", AmfBuilder().byte(0).be16(3).raw("GPS"), ""},
                      NameCase{"Empty", AmfBuilder(), ""}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });
