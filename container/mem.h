#pragma once

#include <cstddef>
#include <cstdint>

namespace container {

// Every block from these routines is released with av_free. They return
// null on failure and never abort.
void* av_malloc(size_t size);   // null above 0x7fffffdf bytes; 0 bytes gives a usable block
void* av_mallocz(size_t size);  // as av_malloc, zero-filled
void* av_realloc(void* ptr, size_t size);  // null from 0x7ffffff0 bytes on; ptr then stays valid
void av_free(void* ptr);
char* av_strdup(const char* s);  // null for null

// Frees *p and clears it.
template <typename T>
void av_freep(T** p) {
    av_free(const_cast<void*>(static_cast<const void*>(*p)));
    *p = nullptr;
}

// Grows ptr to at least min_size bytes with some room to spare, unless it is
// already larger. The new capacity goes to *size. On failure *size = 0 and
// null is returned; the old block then still belongs to the caller.
void* av_fast_realloc(void* ptr, unsigned* size, unsigned min_size);
void* av_fast_realloc(void* ptr, unsigned* size, uint64_t min_size);

}  // namespace container
