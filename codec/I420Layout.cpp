#include "codec/I420Layout.h"

I420Layout I420Layout::ForSize(int width, int height) {
    I420Layout l;
    if (width <= 0 || height <= 0)
        return l;
    l.width = width;
    l.height = height;
    l.chromaWidth = width / 2 + width % 2;
    l.chromaHeight = height / 2 + height % 2;
    const int64_t luma = int64_t(width) * height;
    const int64_t chroma = int64_t(l.chromaWidth) * l.chromaHeight;
    l.uOffset = luma;
    l.vOffset = luma + chroma;
    l.size = luma + 2 * chroma;
    return l;
}
