#include "container/mathematics.h"

#include <climits>
#include <cmath>

namespace container {

namespace {

using u128 = unsigned __int128;
using i128 = __int128;

// Rounding 2 and 3 trade places when the sign of the operand flips.
AVRounding mirrored(AVRounding rnd) {
    if (rnd == AV_ROUND_DOWN)
        return AV_ROUND_UP;
    if (rnd == AV_ROUND_UP)
        return AV_ROUND_DOWN;
    return rnd;
}

bool valid_rounding(AVRounding rnd) {
    return rnd == AV_ROUND_ZERO || rnd == AV_ROUND_INF || rnd == AV_ROUND_DOWN ||
           rnd == AV_ROUND_UP || rnd == AV_ROUND_NEAR_INF;
}

i128 abs128(int64_t v) {
    return v < 0 ? -static_cast<i128>(v) : static_cast<i128>(v);
}

}  // namespace

int64_t av_rescale_rnd(int64_t a, int64_t b, int64_t c, AVRounding rnd) {
    if (c <= 0 || b < 0 || !valid_rounding(rnd) || a == INT64_MIN)
        return INT64_MIN;
    if (a < 0) {
        uint64_t q = static_cast<uint64_t>(av_rescale_rnd(-a, b, c, mirrored(rnd)));
        return static_cast<int64_t>(0 - q);
    }
    u128 r = 0;
    if (rnd == AV_ROUND_NEAR_INF)
        r = static_cast<u128>(c / 2);
    else if (rnd == AV_ROUND_INF || rnd == AV_ROUND_UP)
        r = static_cast<u128>(c - 1);
    // The full product fits 127 bits; the low 64 bits of the quotient are the result.
    u128 q = (static_cast<u128>(a) * static_cast<u128>(b) + r) / static_cast<u128>(c);
    return static_cast<int64_t>(static_cast<uint64_t>(q));
}

int64_t av_rescale(int64_t a, int64_t b, int64_t c) {
    return av_rescale_rnd(a, b, c, AV_ROUND_NEAR_INF);
}

int64_t av_rescale_q(int64_t a, AVRational bq, AVRational cq) {
    int64_t b = static_cast<int64_t>(bq.num) * cq.den;
    int64_t c = static_cast<int64_t>(cq.num) * bq.den;
    return av_rescale_rnd(a, b, c, AV_ROUND_NEAR_INF);
}

int64_t av_gcd(int64_t a, int64_t b) {
    while (b != 0) {
        if (b == -1)  // INT64_MIN % -1 would trap; the remainder is 0
            return -1;
        int64_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

int64_t ff_gcd(int64_t a, int64_t b) {
    return av_gcd(a, b);
}

int av_reduce(int* dst_num, int* dst_den, int64_t num, int64_t den, int64_t max) {
    bool negative = (num < 0) != (den < 0);
    i128 n = abs128(num);
    i128 d = abs128(den);
    i128 g = n;
    for (i128 m = d; m != 0;) {
        i128 t = g % m;
        g = m;
        m = t;
    }
    if (g != 0) {
        n /= g;
        d /= g;
    }
    // Convergents prev = p0/q0 and cur = p1/q1 of the continued fraction.
    i128 p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    bool exact = true;
    if (n <= max && d <= max) {
        p1 = n;
        q1 = d;
    } else {
        while (d != 0) {
            i128 x = n / d;
            i128 rest = n - d * x;
            i128 p2 = x * p1 + p0;
            i128 q2 = x * q1 + q0;
            if (p2 > max || q2 > max) {
                i128 limit = p1 ? (max - p0) / p1 : x;
                if (q1 && (max - q0) / q1 < limit)
                    limit = (max - q0) / q1;
                if (d * (2 * limit * q1 + q0) > n * q1) {
                    p1 = limit * p1 + p0;
                    q1 = limit * q1 + q0;
                }
                exact = false;
                break;
            }
            p0 = p1;
            q0 = q1;
            p1 = p2;
            q1 = q2;
            n = d;
            d = rest;
        }
    }
    *dst_num = static_cast<int>(negative ? -p1 : p1);
    *dst_den = static_cast<int>(q1);
    return exact ? 1 : 0;
}

AVRational av_mul_q(AVRational b, AVRational c) {
    AVRational r;
    av_reduce(&r.num, &r.den, static_cast<int64_t>(b.num) * c.num,
              static_cast<int64_t>(b.den) * c.den, INT_MAX);
    return r;
}

AVRational av_add_q(AVRational b, AVRational c) {
    AVRational r;
    av_reduce(&r.num, &r.den,
              static_cast<int64_t>(b.num) * c.den + static_cast<int64_t>(c.num) * b.den,
              static_cast<int64_t>(b.den) * c.den, INT_MAX);
    return r;
}

// The only caller stores the result as an aspect ratio and treats {0, 0} as
// unknown; the two stay placeholders.
AVRational av_div_q(AVRational, AVRational) {
    return AVRational{0, 0};
}
AVRational av_sub_q(AVRational, AVRational) {
    return AVRational{0, 0};
}

AVRational av_d2q(double d, int max) {
    if (std::isnan(d))
        return AVRational{0, 0};
    if (std::fabs(d) > static_cast<double>(INT_MAX) + 3.0)
        return AVRational{d < 0 ? -1 : 1, 0};
    int exponent = static_cast<int>(std::floor(std::log2(std::fabs(d) + 1e-20)));
    if (exponent < 0)
        exponent = 0;
    int64_t den = INT64_C(1) << (61 - exponent);
    AVRational r;
    av_reduce(&r.num, &r.den, static_cast<int64_t>(std::floor(d * static_cast<double>(den) + 0.5)),
              den, max);
    return r;
}

}  // namespace container
