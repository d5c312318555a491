#include "container/mem.h"

#include <cstdlib>
#include <cstring>

namespace container {

namespace {
constexpr size_t kMaxMalloc = 0x7fffffdf;
constexpr uint64_t kMaxRealloc = 0x7ffffff0;
}  // namespace

void* av_malloc(size_t size) {
    if (size > kMaxMalloc)
        return nullptr;
    void* p = std::malloc(size);
    if (!p && size == 0)
        p = std::malloc(1);
    return p;
}

void* av_mallocz(size_t size) {
    void* p = av_malloc(size);
    if (p)
        std::memset(p, 0, size);
    return p;
}

void* av_realloc(void* ptr, size_t size) {
    if (size >= kMaxRealloc)
        return nullptr;
    return std::realloc(ptr, size ? size : 1);
}

void av_free(void* ptr) {
    std::free(ptr);
}

char* av_strdup(const char* s) {
    if (!s)
        return nullptr;
    size_t len = std::strlen(s) + 1;
    char* copy = static_cast<char*>(av_malloc(len));
    if (copy)
        std::memcpy(copy, s, len);
    return copy;
}

void* av_fast_realloc(void* ptr, unsigned* size, uint64_t min_size) {
    if (min_size < *size)
        return ptr;
    // 64-bit arithmetic: a huge request can never wrap into a small block.
    uint64_t wanted = min_size * 17 / 16 + 32;
    if (wanted < min_size)
        wanted = min_size;
    void* grown = wanted < kMaxRealloc ? av_realloc(ptr, wanted) : nullptr;
    *size = grown ? static_cast<unsigned>(wanted) : 0;
    return grown;
}

void* av_fast_realloc(void* ptr, unsigned* size, unsigned min_size) {
    return av_fast_realloc(ptr, size, static_cast<uint64_t>(min_size));
}

}  // namespace container
