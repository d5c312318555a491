// Rescaling and rationals, against values worked out by hand or by 128-bit
// arithmetic.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "container/mathematics.h"

using namespace container;

namespace {

// Between time bases to the nearest; faulty arguments never divide by zero
// or trap: INT64_MIN instead.
TEST(Rescale, TimeBasesRoundToNearestAndFaultyArgumentsGiveInt64Min) {
    EXPECT_EQ(av_rescale_q(15, {1, 100}, {1, 10}), 2);
    EXPECT_EQ(av_rescale_rnd(5, 1, 0, AV_ROUND_NEAR_INF), INT64_MIN);
    EXPECT_EQ(av_rescale_rnd(5, 1, -3, AV_ROUND_NEAR_INF), INT64_MIN);
    EXPECT_EQ(av_rescale_rnd(INT64_MIN, 2, 3, AV_ROUND_NEAR_INF), INT64_MIN);
    EXPECT_EQ(av_rescale_q(40, {1, 25}, {0, 1000}), INT64_MIN);
}

// Every rounding mode against 128-bit arithmetic, signed values, divisors
// of every size.
TEST(Rescale, AgreesWithWideArithmeticOnAGrid) {
    const int64_t values[] = {0, 1, 3, 7, 1000, 123456789, INT64_C(0x40000001), INT64_C(1) << 40};
    const int64_t bases[] = {1, 2, 3, 7, 1000, 90000, 0x40000000, 0x7fffffff};
    for (int64_t magnitude : values)
        for (int64_t a : {magnitude, -magnitude})
            for (int64_t b : bases)
                for (int64_t c : bases) {
                    __int128 exact = static_cast<__int128>(a) * b;
                    __int128 down = exact / c - (exact % c < 0), up = down + (exact % c != 0);
                    __int128 zero = exact / c, inf = exact < 0 ? down : up;
                    __int128 twice = 2 * (exact - down * c);  // remainder against c
                    __int128 near = twice > c || (twice == c && exact > 0) ? up : down;
                    const std::pair<AVRounding, __int128> modes[] = {{AV_ROUND_ZERO, zero},
                                                                     {AV_ROUND_INF, inf},
                                                                     {AV_ROUND_DOWN, down},
                                                                     {AV_ROUND_UP, up},
                                                                     {AV_ROUND_NEAR_INF, near}};
                    for (const auto& [rnd, expected] : modes) {
                        if (expected > INT64_MAX || expected <= INT64_MIN)
                            continue;
                        EXPECT_EQ(av_rescale_rnd(a, b, c, rnd), static_cast<int64_t>(expected))
                            << a << " " << b << " " << c << " mode " << rnd;
                    }
                }
}

TEST(Rational, ReducesExactlyOrApproximatesUnderALimit) {
    int num, den;
    EXPECT_EQ(av_reduce(&num, &den, -10, 4, INT_MAX), 1);
    EXPECT_EQ(std::make_pair(num, den), std::make_pair(-5, 2));
    int64_t scaled = static_cast<int64_t>(3.14159265358979 * std::ldexp(1.0, 61));
    EXPECT_EQ(av_reduce(&num, &den, scaled, INT64_C(1) << 61, 1000), 0);
    EXPECT_EQ(std::make_pair(num, den), std::make_pair(355, 113));
}

}  // namespace
