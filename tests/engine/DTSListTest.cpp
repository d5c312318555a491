#include <gtest/gtest.h>

#include <vector>

#include "engine/DTSList.h"
#include "engine/StreamMarker.h"

namespace {

std::vector<qint64> Drain(DTSList& list) {
    std::vector<qint64> order;
    DTSList::Entry entry;
    while (list.GetDTS(&entry)) {
        order.push_back(entry.dts);
    }
    return order;
}

bool Push(DTSList& list, qint64 dts) {
    return list.SetDTS(DTSList::Entry{dts, 60000, false});
}

struct OrderCase {
    const char* name;
    std::vector<qint64> pushed;
    std::vector<qint64> taken;
};

class ScheduleOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ScheduleOrderTest, TakesTimestampsInOrder) {
    DTSList list;
    for (qint64 dts : GetParam().pushed) {
        ASSERT_TRUE(Push(list, dts));
    }
    EXPECT_EQ(Drain(list), GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScheduleOrderTest,
    ::testing::Values(OrderCase{"AfterOpen", {-1, 40, 0, 80, 40}, {-1, 0, 40, 40, 80}},
                      OrderCase{"NoMarker", {40, 0}, {0, 40}},
                      OrderCase{"EndStaysLast", {10, 20, -3, 15}, {10, 15, 20, -3}},
                      OrderCase{"AfterEndGoesBehindIt", {10, 20, -3, 15, 30}, {10, 15, 20, -3, 30}},
                      OrderCase{"SmallerThanHead", {50, 60, 10}, {10, 50, 60}},
                      OrderCase{"MarkersInArrivalOrder", {-1, 5, -2, -1, -3}, {-1, 5, -2, -1, -3}}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

TEST(DTSListTest, EqualTimestampsKeepArrivalOrder) {
    DTSList list;
    ASSERT_TRUE(list.SetDTS(DTSList::Entry{StreamMarker::Open, 1, false}));
    ASSERT_TRUE(list.SetDTS(DTSList::Entry{40, 111, false}));
    ASSERT_TRUE(list.SetDTS(DTSList::Entry{0, 0, false}));
    ASSERT_TRUE(list.SetDTS(DTSList::Entry{40, 222, true}));
    DTSList::Entry entry;
    std::vector<qint64> values;
    while (list.GetDTS(&entry)) {
        values.push_back(entry.value);
    }
    EXPECT_EQ(values, (std::vector<qint64>{1, 0, 111, 222}));
}

TEST(DTSListTest, PoolOf150ReusesAFreedNode) {
    DTSList list;
    for (int i = 0; i < DTSList::kCapacity; ++i) {
        ASSERT_TRUE(Push(list, i));
    }
    EXPECT_FALSE(Push(list, 1000));
    DTSList::Entry entry;
    ASSERT_TRUE(list.GetDTS(&entry));
    EXPECT_EQ(entry.dts, 0);
    EXPECT_TRUE(Push(list, 1000));
    EXPECT_FALSE(Push(list, 1001));
    const auto order = Drain(list);
    ASSERT_EQ(order.size(), size_t(DTSList::kCapacity));
    EXPECT_EQ(order.front(), 1);
    EXPECT_EQ(order.back(), 1000);
}

TEST(DTSListTest, ClearEmptiesAndTellsTheClock) {
    DTSList list;
    ASSERT_TRUE(Push(list, 5));
    const quint64 before = list.Generation();
    list.Clear();
    DTSList::Entry entry;
    EXPECT_FALSE(list.GetDTS(&entry));
    EXPECT_EQ(list.Generation(), before + 1);
    EXPECT_TRUE(list.TakeReset());
    EXPECT_FALSE(list.TakeReset());
    // After a Clear the whole pool is free again.
    for (int i = 0; i < DTSList::kCapacity; ++i) {
        ASSERT_TRUE(Push(list, i));
    }
}

}  // namespace
