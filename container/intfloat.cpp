#include "container/intfloat.h"

#include <cmath>
#include <cstring>

namespace container {

double av_int2dbl(int64_t v) {
    uint64_t bits = static_cast<uint64_t>(v);
    if (bits == 0 || bits * 2 > UINT64_C(0xFFE0000000000000))
        return 0.0;
    double mantissa = static_cast<double>((bits & ((UINT64_C(1) << 52) - 1)) + (UINT64_C(1) << 52));
    int exponent = static_cast<int>((bits >> 52) & 0x7ff) - 1075;
    double value = std::ldexp(mantissa, exponent);
    return (bits >> 63) ? -value : value;
}

float av_int2flt(int32_t v) {
    uint32_t bits = static_cast<uint32_t>(v);
    if (bits * 2 > 0xFF000000u)
        return 2147483648.0f;
    float mantissa = static_cast<float>((bits & 0x7fffff) + 0x800000);
    int exponent = static_cast<int>((bits >> 23) & 0xff) - 150;
    float value = std::ldexp(mantissa, exponent);
    return (bits >> 31) ? -value : value;
}

double av_ext2dbl(AVExtFloat ext) {
    uint64_t m = 0;
    for (uint8_t byte : ext.mantissa)
        m = (m << 8) | byte;
    int e = ((ext.exponent[0] & 0x7f) << 8) | ext.exponent[1];
    bool negative = ext.exponent[0] & 0x80;
    if (e == 0x7fff)
        return m ? 2147483647.0 : (negative ? -HUGE_VAL : HUGE_VAL);
    double value = std::ldexp(static_cast<double>(m), e - 16446);
    return negative ? -value : value;
}

int64_t av_dbl2int(double d) {
    if (d == 0.0)
        return 0;
    if (std::isnan(d))
        return INT64_C(0x7FF0000000000001);
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return static_cast<int64_t>(bits);
}

int32_t av_flt2int(float d) {
    if (d == 0.0f)
        return 0;
    if (std::isnan(d))
        return 0x7F800001;
    uint32_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return static_cast<int32_t>(bits);
}

AVExtFloat av_dbl2ext(double d) {
    AVExtFloat ext{};
    if (d == 0.0)
        return ext;
    if (std::isinf(d) || std::isnan(d)) {
        ext.exponent[0] = 0x7f;
        ext.exponent[1] = 0xff;
        if (std::isnan(d))
            ext.mantissa[0] = 0xff;
    } else {
        int e;
        double f = std::frexp(std::fabs(d), &e);
        int stored = e + 16382;
        ext.exponent[0] = static_cast<uint8_t>(stored >> 8);
        ext.exponent[1] = static_cast<uint8_t>(stored);
        uint64_t m = static_cast<uint64_t>(std::ldexp(f, 64));
        for (int i = 7; i >= 0; --i, m >>= 8)
            ext.mantissa[i] = static_cast<uint8_t>(m);
    }
    if (std::signbit(d))
        ext.exponent[0] |= 0x80;
    return ext;
}

}  // namespace container
