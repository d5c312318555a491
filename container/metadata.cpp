#include "container/metadata.h"

#include <strings.h>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "container/avformat.h"
#include "container/mem.h"

namespace container {

namespace {

constexpr uint64_t kMaxArrayBytes = 0x7fffffef;

bool key_matches(const char* wanted, const char* key, int flags) {
    size_t i = 0;
    for (; wanted[i]; ++i) {
        unsigned char a = static_cast<unsigned char>(wanted[i]);
        unsigned char b = static_cast<unsigned char>(key[i]);
        if (!(flags & AV_METADATA_MATCH_CASE)) {
            a = static_cast<unsigned char>(std::toupper(a));
            b = static_cast<unsigned char>(std::toupper(b));
        }
        if (a != b)
            return false;
    }
    return key[i] == '\0' || (flags & AV_METADATA_IGNORE_SUFFIX);
}

void free_if_empty(AVMetadata** pm) {
    if (*pm && (*pm)->count == 0) {
        av_freep(&(*pm)->elems);
        av_freep(pm);
    }
}

const char* map_key(const char* key, const AVMetadataConv* table, bool fromNative) {
    if (!table)
        return key;
    for (; table->native; ++table) {
        const char* from = fromNative ? table->native : table->generic;
        if (from && strcasecmp(from, key) == 0)
            return fromNative ? table->generic : table->native;
    }
    return key;
}

}  // namespace

AVMetadataTag* av_metadata_get(AVMetadata* m, const char* key, const AVMetadataTag* prev,
                               int flags) {
    if (!m || !key)
        return nullptr;
    unsigned start = prev ? static_cast<unsigned>(prev - m->elems) + 1 : 0;
    for (unsigned i = start; i < m->count; ++i) {
        if (key_matches(key, m->elems[i].key, flags))
            return &m->elems[i];
    }
    return nullptr;
}

int av_metadata_set(AVMetadata** pm, const char* key, const char* value) {
    if (!*pm) {
        *pm = static_cast<AVMetadata*>(av_mallocz(sizeof(AVMetadata)));
        if (!*pm)
            return AVERROR_NOMEM;
    }
    AVMetadata* m = *pm;
    AVMetadataTag* old = av_metadata_get(m, key, nullptr, AV_METADATA_MATCH_CASE);
    if (old) {
        av_free(old->key);
        av_free(old->value);
        *old = m->elems[--m->count];
    }
    int result = 0;
    if (value) {
        uint64_t bytes = (static_cast<uint64_t>(m->count) + 1) * sizeof(AVMetadataTag);
        AVMetadataTag* grown = bytes <= kMaxArrayBytes
                                   ? static_cast<AVMetadataTag*>(av_realloc(m->elems, bytes))
                                   : nullptr;
        char* k = av_strdup(key);
        char* v = av_strdup(value);
        if (grown)
            m->elems = grown;
        if (grown && k && v) {
            m->elems[m->count++] = AVMetadataTag{k, v};
        } else {
            av_free(k);
            av_free(v);
            result = AVERROR_NOMEM;
        }
    }
    free_if_empty(pm);
    return result;
}

void av_metadata_free(AVMetadata** pm) {
    if (!*pm)
        return;
    for (unsigned i = 0; i < (*pm)->count; ++i) {
        av_free((*pm)->elems[i].key);
        av_free((*pm)->elems[i].value);
    }
    av_freep(&(*pm)->elems);
    av_freep(pm);
}

void av_metadata_convert(AVMetadata** pm, const AVMetadataConv* d_conv,
                         const AVMetadataConv* s_conv) {
    if (!*pm || d_conv == s_conv)
        return;
    AVMetadata* converted = nullptr;
    for (unsigned i = 0; i < (*pm)->count; ++i) {
        const AVMetadataTag& tag = (*pm)->elems[i];
        const char* key = map_key(map_key(tag.key, s_conv, true), d_conv, false);
        av_metadata_set(&converted, key, tag.value);
    }
    av_metadata_free(pm);
    *pm = converted;
}

void av_metadata_conv(AVFormatContext* ctx, const AVMetadataConv* d_conv,
                      const AVMetadataConv* s_conv) {
    av_metadata_convert(&ctx->metadata, d_conv, s_conv);
    for (unsigned i = 0; i < ctx->nb_streams && i < MAX_STREAMS; ++i)
        av_metadata_convert(&ctx->streams[i]->metadata, d_conv, s_conv);
    for (unsigned i = 0; i < ctx->nb_chapters; ++i)
        av_metadata_convert(&ctx->chapters[i]->metadata, d_conv, s_conv);
}

}  // namespace container
