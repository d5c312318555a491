#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "engine/GPSList.h"

namespace {

struct NearestCase {
    const char* name;
    std::vector<GPSPoint> track;
    double lat;
    std::optional<qint64> expected;  // none: the caller does not seek
};

class NearestPointTest : public ::testing::TestWithParam<NearestCase> {};

TEST_P(NearestPointTest, FindsTheNearestTrackPoint) {
    GPSList list;
    for (const GPSPoint& point : GetParam().track) {
        list.InputData(point.dts, point.lat, point.lon);
    }
    EXPECT_EQ(list.GetDTS(GetParam().lat, 1.0), GetParam().expected);
}

// 22.55 lies half-way up to rounding of the decimal values; 2.0 exactly. A
// tie keeps the earlier point.
const std::vector<GPSPoint> kTrack{{0, 22.5, 1.0}, {1, 22.6, 1.0}};
INSTANTIATE_TEST_SUITE_P(
    Clicks, NearestPointTest,
    ::testing::Values(NearestCase{"Below", kTrack, 22.54, 0},
                      NearestCase{"Above", kTrack, 22.56, 1},
                      NearestCase{"HalfWay", kTrack, 22.55, 0},
                      NearestCase{"OnAPoint", kTrack, 22.5, 0},
                      NearestCase{"Beyond", kTrack, 23.0, 1},
                      NearestCase{"ExactTie", {{0, 1.0, 1.0}, {1, 3.0, 1.0}}, 2.0, 0},
                      NearestCase{"SamePosition", {{7, 22.5, 1.0}, {9, 22.5, 1.0}}, 22.5, 7},
                      NearestCase{"Empty", {}, 22.5, std::nullopt}),
    [](const ::testing::TestParamInfo<NearestCase>& info) { return std::string(info.param.name); });

TEST(GPSListTest, CursorStopsAtTheEndAndResumesWithNewPoints) {
    GPSList list;
    list.InputData(3, 1.5, 2.5);
    qint64 dts = 0;
    double lat = 0;
    double lon = 0;
    ASSERT_TRUE(list.OutputData(&dts, &lat, &lon));
    EXPECT_EQ(dts, 3);
    EXPECT_EQ(lat, 1.5);
    EXPECT_EQ(lon, 2.5);
    EXPECT_FALSE(list.OutputData(&dts, nullptr, nullptr));
    EXPECT_FALSE(list.OutputData(&dts, nullptr, nullptr));
    list.InputData(4, 0, 0);
    ASSERT_TRUE(list.OutputData(&dts, nullptr, nullptr));
    EXPECT_EQ(dts, 4);
}

TEST(GPSListTest, ClearRewindsAndSetsReset) {
    GPSList list;
    list.InputData(1, 0, 0);
    qint64 dts = 0;
    ASSERT_TRUE(list.OutputData(&dts, nullptr, nullptr));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.TakeReset());
    EXPECT_FALSE(list.TakeReset());
    list.InputData(2, 0, 0);
    ASSERT_TRUE(list.OutputData(&dts, nullptr, nullptr));
    EXPECT_EQ(dts, 2);
}

// The distance is the sum of both differences: points level in latitude are
// told apart by longitude, and a diagonal step counts both ways (0.02 + 0.02
// is farther than 0.03 + 0, though not in a straight line).
TEST(GPSListTest, LongitudeCountsAsMuchAsLatitude) {
    GPSList level;
    level.InputData(0, 22.5, 113.90);
    level.InputData(1, 22.5, 113.95);
    EXPECT_EQ(level.GetDTS(22.51, 113.949), 1);
    EXPECT_EQ(level.GetDTS(22.49, 113.91), 0);
    GPSList diagonal;
    diagonal.InputData(5, 22.52, 113.92);
    diagonal.InputData(6, 22.53, 113.90);
    EXPECT_EQ(diagonal.GetDTS(22.50, 113.90), 6);
}

}  // namespace
