#pragma once

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "codec/I420Layout.h"

// An I420 test picture: each plane filled by a function of (column, row).
using PlaneFill = std::function<unsigned char(int x, int y)>;

inline const auto flat = [](unsigned char v) -> PlaneFill { return [v](int, int) { return v; }; };

inline std::vector<unsigned char> makeFrame(int w, int h, PlaneFill y, PlaneFill u = flat(128),
                                            PlaneFill v = flat(128)) {
    const I420Layout l = I420Layout::ForSize(w, h);
    std::vector<unsigned char> f(size_t(l.size));
    for (int i = 0; i < l.size; ++i) {
        const bool luma = i < l.uOffset, chromaU = !luma && i < l.vOffset;
        const int k = int(luma ? i : i - (chromaU ? l.uOffset : l.vOffset));
        const int rowLength = luma ? w : l.chromaWidth;
        f[i] = (luma ? y : chromaU ? u : v)(k % rowLength, k / rowLength);
    }
    return f;
}

// A frame in a malloc'ed block, as the wall takes them.
inline unsigned char* mallocFrame(const std::vector<unsigned char>& f) {
    return static_cast<unsigned char*>(std::memcpy(std::malloc(f.size()), f.data(), f.size()));
}
