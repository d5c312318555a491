// The GPS and G-sensor records: which key sets which field, truncation of
// the integer fields, persistence between records, and the fix helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "AmfBuilder.h"
#include "engine/MapType.h"
#include "telemetry/GPSParse.h"
#include "telemetry/GPSTransfer.h"
#include "telemetry/GSensorParse.h"

namespace {

AmfBuilder numberRecord(const char* name, const std::string& key, double value) {
    AmfBuilder b = AmfBuilder::record(name, 1);
    b.text(key).number(value).end();
    return b;
}

template <typename Record>
int feed(Record& r, const AmfBuilder& b) {
    return r.ParseRecord(b.data(), b.size());
}

}  // namespace

TEST(GPSParse, EveryKeySetsItsField) {
    GPSParse gps;
    AmfBuilder b = AmfBuilder::record("GPS", 10);
    b.text("mode")
        .number(3)
        .text("lat")
        .number(22.5)
        .text("lon")
        .number(113.9)
        .text("alt")
        .number(-4.5)
        .text("speed")
        .number(61.2)
        .text("course")
        .number(270.5)
        .text("sat_used")
        .number(9)
        .text("sat_visible")
        .number(14)
        .text("time")
        .number(1700000000.0)
        .text("carInfo")
        .string("B123")
        .end();
    ASSERT_EQ(feed(gps, b), 0);
    EXPECT_EQ(gps.mode, 3.0);
    EXPECT_EQ(gps.latitude, 22.5);
    EXPECT_EQ(gps.longitude, 113.9);
    EXPECT_EQ(gps.altitude, -4.5);
    EXPECT_EQ(gps.speed, 61.2);
    EXPECT_EQ(gps.course, 270.5);
    EXPECT_EQ(gps.sat_used, 9);
    EXPECT_EQ(gps.sat_visible, 14);
    EXPECT_EQ(gps.time, 1700000000);
    EXPECT_STREQ(gps.carInfo, "B123");
    // Nothing writes the derived positions.
    EXPECT_EQ(gps.mapLatitude, 0.0);
    EXPECT_EQ(gps.previousLatitude, 0.0);
}

struct IntegerCase {
    double value;
    int64_t stored;
};

class IntegerField : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerField, TruncatesTowardZeroOrCountsAsZero) {
    for (const char* key : {"sat_used", "sat_visible", "time"}) {
        GPSParse gps;
        gps.sat_used = gps.sat_visible = gps.time = 99;
        ASSERT_EQ(feed(gps, numberRecord("GPS", key, GetParam().value)), 0);
        const int64_t stored = std::strcmp(key, "sat_used") == 0      ? gps.sat_used
                               : std::strcmp(key, "sat_visible") == 0 ? gps.sat_visible
                                                                      : gps.time;
        EXPECT_EQ(stored, GetParam().stored) << key << " " << GetParam().value;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntegerField,
    ::testing::Values(IntegerCase{7.9, 7}, IntegerCase{-3.5, -3}, IntegerCase{0.999, 0},
                      IntegerCase{4611686018427387904.0, 4611686018427387904LL},  // 2^62
                      IntegerCase{-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
                      IntegerCase{9223372036854775808.0, 0},  // 2^63 does not fit
                      IntegerCase{1e300, 0}, IntegerCase{-1e300, 0},
                      IntegerCase{std::numeric_limits<double>::infinity(), 0},
                      IntegerCase{-std::numeric_limits<double>::infinity(), 0}));

TEST(GPSParse, WrongTypesAndUnknownKeysAreIgnored) {
    GPSParse gps;
    AmfBuilder b = AmfBuilder::record("GPS", 5);
    b.text("lat")
        .string("22.5")
        .text("carInfo")
        .number(5)
        .text("Lat")
        .number(1)
        .text("latitude")
        .number(2)
        .text("course")
        .boolean(1)
        .end();
    ASSERT_EQ(feed(gps, b), 0);
    EXPECT_EQ(gps.latitude, 0.0);
    EXPECT_EQ(gps.course, 0.0);
    EXPECT_STREQ(gps.carInfo, "");
}

TEST(GPSParse, ValuesPersistAndCarInfoIsReplacedWhole) {
    GPSParse gps;
    AmfBuilder first = AmfBuilder::record("GPS", 2);
    first.text("lat").number(22.5).text("carInfo").string(std::string(255, 'L')).end();
    ASSERT_EQ(feed(gps, first), 0);
    EXPECT_EQ(std::strlen(gps.carInfo), 255u);

    AmfBuilder second = AmfBuilder::record("GPS", 1);
    second.text("carInfo").string("B7").end();
    ASSERT_EQ(feed(gps, second), 0);
    EXPECT_EQ(gps.latitude, 22.5);
    EXPECT_STREQ(gps.carInfo, "B7");
    for (size_t i = 2; i < sizeof gps.carInfo; ++i) {
        ASSERT_EQ(gps.carInfo[i], '\0') << i;
    }
}

TEST(GPSParse, FixValidityFollowsFiniteness) {
    GPSParse gps;
    EXPECT_TRUE(gps.HasValidFix());
    AmfBuilder b = AmfBuilder::record("GPS", 1);
    b.text("lat").byte(0).be64(0x7FF0000000000000).end();  // +infinity
    ASSERT_EQ(feed(gps, b), 0);
    EXPECT_FALSE(gps.HasValidFix());
    ASSERT_EQ(feed(gps, numberRecord("GPS", "lat", 22.5)), 0);
    EXPECT_TRUE(gps.HasValidFix());
}

TEST(GPSParse, MovedComparesWithTheFixPassedOn) {
    GPSParse gps;
    EXPECT_FALSE(gps.Moved());
    gps.latitude = 22.5;
    EXPECT_TRUE(gps.Moved());
    gps.KeepAsPrevious();
    EXPECT_FALSE(gps.Moved());
    gps.course = 90;
    EXPECT_FALSE(gps.Moved());
    gps.longitude = 113.9;
    EXPECT_TRUE(gps.Moved());
}

TEST(GPSParse, MapPositionFollowsOffsetAndMapType) {
    GPSParse gps;
    gps.latitude = 39.9;
    gps.longitude = 116.4;
    gps.UpdateMapPosition(false, MapType::Google);
    EXPECT_EQ(gps.mapLatitude, 39.9);
    EXPECT_EQ(gps.mapLongitude, 116.4);

    gps.UpdateMapPosition(true, MapType::Google);
    const LatLon gcj = GPSTransfer().WGS84_To_GCJ02(39.9, 116.4);
    EXPECT_EQ(gps.mapLatitude, gcj.lat);
    EXPECT_EQ(gps.mapLongitude, gcj.lon);

    gps.latitude = 22.5;
    gps.UpdateMapPosition(true,
                          static_cast<MapType>(9));  // unknown type: keeps the last map position
    EXPECT_EQ(gps.mapLatitude, gcj.lat);

    gps.latitude = 0.0000005;
    gps.UpdateMapPosition(true, MapType::OSMap);
    EXPECT_EQ(gps.mapLatitude, 0.0);
    EXPECT_EQ(gps.mapLongitude, 0.0);
}

TEST(GSensorParse, TakesItsFiveNumbersFromAnyRecord) {
    GSensorParse sensor;
    AmfBuilder axes = AmfBuilder::record("GSensor", 4);
    axes.text("x")
        .number(0.1)
        .text("y")
        .number(-0.2)
        .text("z")
        .number(1.0)
        .text("X")
        .number(9)
        .end();
    ASSERT_EQ(feed(sensor, axes), 0);
    ASSERT_EQ(feed(sensor, numberRecord("GPS", "speed", 42)), 0);
    ASSERT_EQ(feed(sensor, numberRecord("otherSensors", "temperature", 36.5)), 0);
    AmfBuilder strings = AmfBuilder::record("GSensor", 2);
    strings.text("x").string("5").text("lat").number(3).end();
    ASSERT_EQ(feed(sensor, strings), 0);
    EXPECT_EQ(sensor.x, 0.1);
    EXPECT_EQ(sensor.y, -0.2);
    EXPECT_EQ(sensor.z, 1.0);
    EXPECT_EQ(sensor.speed, 42.0);
    EXPECT_EQ(sensor.temperature, 36.5);
}

TEST(GSensorParse, FailedRecordKeepsWhatCameBefore) {
    GSensorParse sensor;
    AmfBuilder b = AmfBuilder::record("GSensor", 2);
    b.text("x").number(0.5).text("y").byte(12);
    EXPECT_EQ(feed(sensor, b), -1);
    EXPECT_EQ(sensor.x, 0.5);
    EXPECT_EQ(sensor.y, 0.0);
}
