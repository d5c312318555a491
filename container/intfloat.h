#pragma once

#include <cstdint>

namespace container {

// 80-bit extended float as stored in files, both arrays big-endian.
struct AVExtFloat {
    uint8_t exponent[2];  // top bit sign, 15 bits biased by 16383
    uint8_t mantissa[8];  // with the explicit leading one
};

double av_int2dbl(int64_t v);
float av_int2flt(int32_t v);
double av_ext2dbl(AVExtFloat ext);
int64_t av_dbl2int(double d);
int32_t av_flt2int(float d);
AVExtFloat av_dbl2ext(double d);

}  // namespace container
