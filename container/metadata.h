#pragma once

namespace container {

struct AVFormatContext;

struct AVMetadataTag {
    char* key;    // owned copy
    char* value;  // owned copy
};

// A growable array of tags; a null dictionary pointer means "empty".
struct AVMetadata {
    unsigned count;
    AVMetadataTag* elems;
};

struct AVMetadataConv {
    const char* native;
    const char* generic;
};

constexpr int AV_METADATA_MATCH_CASE = 1;
constexpr int AV_METADATA_IGNORE_SUFFIX = 2;

// First tag after prev (from the start when prev is null) whose key matches;
// null when none does or m is null. The tag stays owned by the dictionary.
AVMetadataTag* av_metadata_get(AVMetadata* m, const char* key, const AVMetadataTag* prev,
                               int flags);

// Replaces the tag named key (case counts) by value, or removes it when value
// is null. Creates the dictionary when needed and frees it when it ends up
// empty. 0, or -12 when the array cannot grow.
int av_metadata_set(AVMetadata** pm, const char* key, const char* value);
void av_metadata_free(AVMetadata** pm);

// Renames keys through the two tables (source native -> generic, generic ->
// destination native), keeping the order.
void av_metadata_convert(AVMetadata** pm, const AVMetadataConv* d_conv,
                         const AVMetadataConv* s_conv);
void av_metadata_conv(AVFormatContext* ctx, const AVMetadataConv* d_conv,
                      const AVMetadataConv* s_conv);

}  // namespace container
