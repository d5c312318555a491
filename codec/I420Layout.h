#pragma once

#include <cstdint>

// Planes of one I420 picture packed in one buffer: Y (width x height), then
// U, then V, each chroma plane ceil(width/2) x ceil(height/2). For even sizes
// this is the usual width x height x 3/2 buffer with U at width x height and
// V at width x height x 5/4; odd sizes round the chroma up so no row shears.
struct I420Layout {
    int width = 0;
    int height = 0;
    int chromaWidth = 0;
    int chromaHeight = 0;
    int64_t uOffset = 0;
    int64_t vOffset = 0;
    int64_t size = 0;  // bytes of the whole picture

    // Layout of a width x height picture; all zero when either is not positive.
    static I420Layout ForSize(int width, int height);
};
