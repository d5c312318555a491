#pragma once

#include <QImage>
#include <cstdlib>
#include <functional>
#include <vector>

#include "codec/I420Layout.h"

// I420 test pictures: each plane filled by a function of the sample's column
// and row in that plane.
using PlaneFill = std::function<unsigned char(int x, int y)>;

inline std::vector<unsigned char> makeFrame(int w, int h, PlaneFill y, PlaneFill u, PlaneFill v) {
    const I420Layout l = I420Layout::ForSize(w, h);
    std::vector<unsigned char> f(size_t(l.size));
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            f[size_t(r) * w + c] = y(c, r);
    for (int r = 0; r < l.chromaHeight; ++r)
        for (int c = 0; c < l.chromaWidth; ++c) {
            f[size_t(l.uOffset + r * l.chromaWidth + c)] = u(c, r);
            f[size_t(l.vOffset + r * l.chromaWidth + c)] = v(c, r);
        }
    return f;
}

inline PlaneFill flat(unsigned char value) {
    return [value](int, int) { return value; };
}

// A frame in a malloc'ed block, as the wall takes them.
inline unsigned char* mallocFrame(const std::vector<unsigned char>& f) {
    auto* block = static_cast<unsigned char*>(std::malloc(f.size()));
    std::copy(f.begin(), f.end(), block);
    return block;
}
