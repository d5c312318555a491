#include <gtest/gtest.h>

#include "engine/GPSList.h"

namespace {

struct NearestCase {
    double lat;
    qint64 expected;
};

class NearestPointTest : public ::testing::TestWithParam<NearestCase> {};

TEST_P(NearestPointTest, FindsTheNearestTrackPoint) {
    GPSList list;
    list.InputData(0, 22.5, 113.9);
    list.InputData(1, 22.6, 113.9);
    EXPECT_EQ(list.GetDTS(GetParam().lat, 113.9), GetParam().expected);
}

// 22.55 lies half-way (up to rounding of the decimal values); a tie keeps the earlier point.
INSTANTIATE_TEST_SUITE_P(Clicks, NearestPointTest,
                         ::testing::Values(NearestCase{22.54, 0}, NearestCase{22.56, 1},
                                           NearestCase{22.55, 0}, NearestCase{22.5, 0},
                                           NearestCase{23.0, 1}));

TEST(GPSListTest, ExactTieKeepsTheEarlierPoint) {
    GPSList list;
    list.InputData(0, 1.0, 1.0);
    list.InputData(1, 3.0, 1.0);
    EXPECT_EQ(list.GetDTS(2.0, 1.0), 0);
}

TEST(GPSListTest, SamePositionGivesTheEarlierTime) {
    GPSList list;
    list.InputData(7, 22.5, 113.9);
    list.InputData(9, 22.5, 113.9);
    EXPECT_EQ(list.GetDTS(22.5, 113.9), 7);
}

TEST(GPSListTest, EmptyListHasNoTime) {
    GPSList list;
    EXPECT_FALSE(list.GetDTS(22.5, 113.9).has_value());
}

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

}  // namespace
