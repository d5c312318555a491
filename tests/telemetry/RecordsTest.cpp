// The GPS and G-sensor records: truncation of the integer fields, ignored
// keys and types, persistence between records, and the fix helpers (every
// key of a recorder's records: RecorderRecordsTest).
#include <gtest/gtest.h>

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
    return b.text(key).number(value).end();
}

int feed(Parse& r, const AmfBuilder& b) {
    return r.ParseRecord(b.data(), b.size());
}

}  // namespace

TEST(GPSParse, IntegerFieldsTruncateTowardZeroOrCountAsZero) {
    const std::pair<double, int64_t> cases[] = {
        {7.9, 7},
        {-3.5, -3},
        {0.999, 0},
        {4611686018427387904.0, 4611686018427387904LL},  // 2^62
        {-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
        {9223372036854775808.0, 0},  // 2^63 does not fit
        {1e300, 0},
        {-std::numeric_limits<double>::infinity(), 0}};
    for (const char* key : {"sat_used", "sat_visible", "time"}) {
        for (const auto& [value, stored] : cases) {
            GPSParse gps;
            gps.sat_used = gps.sat_visible = gps.time = 99;
            ASSERT_EQ(feed(gps, numberRecord("GPS", key, value)), 0);
            const int64_t field = key[0] == 't'   ? gps.time
                                  : key[4] == 'u' ? gps.sat_used
                                                  : gps.sat_visible;
            EXPECT_EQ(field, stored) << key << " " << value;
        }
    }
}

TEST(GPSParse, WrongTypesAndUnknownKeysAreIgnoredAndValuesPersist) {
    GPSParse gps;
    AmfBuilder b = AmfBuilder::record("GPS", 5);
    b.text("lat").string("22.5").text("carInfo").number(5).text("Lat").number(1);
    b.text("latitude").number(2).text("course").boolean(1).end();
    ASSERT_EQ(feed(gps, b), 0);
    EXPECT_EQ(gps.latitude, 0.0);
    EXPECT_EQ(gps.course, 0.0);
    EXPECT_STREQ(gps.carInfo, "");
    // Values persist; carInfo is replaced whole.
    AmfBuilder first = AmfBuilder::record("GPS", 2);
    first.text("lat").number(22.5).text("carInfo").string(std::string(255, 'L')).end();
    ASSERT_EQ(feed(gps, first), 0);
    EXPECT_EQ(std::strlen(gps.carInfo), 255u);
    AmfBuilder second = AmfBuilder::record("GPS", 1);
    ASSERT_EQ(feed(gps, second.text("carInfo").string("B7").end()), 0);
    EXPECT_EQ(gps.latitude, 22.5);
    EXPECT_EQ(std::string(gps.carInfo, sizeof gps.carInfo), "B7" + std::string(254, '\0'));
}

TEST(GPSParse, FixHelpers) {
    GPSParse gps;
    EXPECT_TRUE(gps.HasValidFix());
    EXPECT_FALSE(gps.Moved());
    AmfBuilder infinite = AmfBuilder::record("GPS", 1);
    ASSERT_EQ(feed(gps, infinite.text("lat").byte(0).be64(0x7FF0000000000000).end()), 0);
    EXPECT_FALSE(gps.HasValidFix());
    ASSERT_EQ(feed(gps, numberRecord("GPS", "lat", 22.5)), 0);
    EXPECT_TRUE(gps.HasValidFix());
    EXPECT_TRUE(gps.Moved());
    gps.KeepAsPrevious();
    EXPECT_FALSE(gps.Moved());
    gps.longitude = 113.9;
    EXPECT_TRUE(gps.Moved());
}

TEST(GSensorParse, TakesItsFiveNumbersFromAnyRecord) {
    GSensorParse sensor;
    ASSERT_EQ(feed(sensor, AmfBuilder::sensorRecord()), 0);
    ASSERT_EQ(feed(sensor, numberRecord("GPS", "speed", 42)), 0);
    ASSERT_EQ(feed(sensor, numberRecord("otherSensors", "temperature", 20.5)), 0);
    AmfBuilder ignored = AmfBuilder::record("GSensor", 3);
    ignored.text("x").string("5").text("X").number(9).text("lat").number(3).end();
    ASSERT_EQ(feed(sensor, ignored), 0);
    EXPECT_EQ(sensor.x, -0.04);
    EXPECT_EQ(sensor.y, 0.002);
    EXPECT_EQ(sensor.z, 0.9866);
    EXPECT_EQ(sensor.speed, 42.0);
    EXPECT_EQ(sensor.temperature, 20.5);
    // A failed record keeps what came before its failure.
    AmfBuilder failing = AmfBuilder::record("GSensor", 2);
    EXPECT_EQ(feed(sensor, failing.text("x").number(0.5).text("y").byte(12)), -1);
    EXPECT_EQ(sensor.x, 0.5);
    EXPECT_EQ(sensor.y, 0.002);
}
