#pragma once

#include <cstdint>

namespace container {

struct AVRational {
    int num;
    int den;
};

enum AVRounding {
    AV_ROUND_ZERO = 0,
    AV_ROUND_INF = 1,
    AV_ROUND_DOWN = 2,
    AV_ROUND_UP = 3,
    AV_ROUND_NEAR_INF = 5,
};

// a * b / c rounded by rnd. c <= 0 or b < 0 give INT64_MIN instead of a
// division fault; INT64_MIN as a passes through unchanged.
int64_t av_rescale_rnd(int64_t a, int64_t b, int64_t c, AVRounding rnd);
int64_t av_rescale(int64_t a, int64_t b, int64_t c);
int64_t av_rescale_q(int64_t a, AVRational bq, AVRational cq);

int64_t av_gcd(int64_t a, int64_t b);
int64_t ff_gcd(int64_t a, int64_t b);

// Best approximation of num/den with both terms at most max; 1 when exact.
int av_reduce(int* dst_num, int* dst_den, int64_t num, int64_t den, int64_t max);
AVRational av_mul_q(AVRational b, AVRational c);
AVRational av_add_q(AVRational b, AVRational c);
AVRational av_div_q(AVRational b, AVRational c);
AVRational av_sub_q(AVRational b, AVRational c);
AVRational av_d2q(double d, int max);

}  // namespace container
