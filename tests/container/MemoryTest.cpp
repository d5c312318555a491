// Allocation wrappers and the metadata dictionary.
#include <gtest/gtest.h>

#include <cstring>

#include "container/mem.h"
#include "container/metadata.h"

using namespace container;

namespace {

TEST(Memory, LimitsAndZeroSizes) {
    void* p = av_malloc(0);
    ASSERT_NE(p, nullptr);
    av_free(p);
    EXPECT_EQ(av_malloc(0x7fffffe0), nullptr);
    char* z = static_cast<char*>(av_mallocz(64));
    EXPECT_EQ(av_realloc(z, 0x7ffffff0), nullptr);  // z stays ours
    av_freep(&z);
    EXPECT_EQ(z, nullptr);
    EXPECT_EQ(av_strdup(nullptr), nullptr);
}

TEST(Memory, FastReallocGrowsWithRoomAndNeverWraps) {
    unsigned size = 0;
    void* p = av_fast_realloc(nullptr, &size, 100u);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(size, 100u);
    EXPECT_EQ(av_fast_realloc(p, &size, 50u), p);  // below the capacity: unchanged
    // A request whose grown size would wrap 32 bits fails instead of shrinking.
    void* q = av_fast_realloc(p, &size, 0xFFFFFFF0u);
    EXPECT_EQ(q, nullptr);
    EXPECT_EQ(size, 0u);
    q = av_fast_realloc(p, &size, UINT64_C(0x100000010));
    EXPECT_EQ(q, nullptr);
    av_free(p);
}

TEST(Metadata, SetReplaceRemove) {
    AVMetadata* m = nullptr;
    EXPECT_EQ(av_metadata_get(m, "Title", nullptr, 0), nullptr);
    ASSERT_EQ(av_metadata_set(&m, "Title", "one"), 0);
    ASSERT_EQ(av_metadata_set(&m, "Artist", "two"), 0);
    ASSERT_EQ(av_metadata_set(&m, "Title", "three"), 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->count, 2u);
    EXPECT_STREQ(av_metadata_get(m, "title", nullptr, 0)->value, "three");
    EXPECT_EQ(av_metadata_get(m, "title", nullptr, AV_METADATA_MATCH_CASE), nullptr);
    av_metadata_set(&m, "Title", nullptr);
    av_metadata_set(&m, "Artist", nullptr);
    EXPECT_EQ(m, nullptr);
}

// Flag 2 takes a key that merely begins with the one asked for, from after
// prev on; an empty key with it walks every element.
TEST(Metadata, PrefixMatchesWalkOnFromThePrevious) {
    AVMetadata* m = nullptr;
    ASSERT_EQ(av_metadata_set(&m, "title", "a"), 0);
    ASSERT_EQ(av_metadata_set(&m, "comment", "b"), 0);
    ASSERT_EQ(av_metadata_set(&m, "titlecard", "c"), 0);
    const int prefix = AV_METADATA_IGNORE_SUFFIX;
    EXPECT_EQ(av_metadata_get(m, "tit", nullptr, 0), nullptr);
    AVMetadataTag* first = av_metadata_get(m, "TIT", nullptr, prefix);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->value, "a");
    AVMetadataTag* next = av_metadata_get(m, "TIT", first, prefix);
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(next->value, "c");
    EXPECT_EQ(av_metadata_get(m, "TIT", next, prefix), nullptr);
    EXPECT_EQ(av_metadata_get(m, "TIT", nullptr, prefix | AV_METADATA_MATCH_CASE), nullptr);
    EXPECT_STREQ(av_metadata_get(m, "tit", nullptr, prefix | AV_METADATA_MATCH_CASE)->value, "a");
    int all = 0;
    for (AVMetadataTag* t = nullptr; (t = av_metadata_get(m, "", t, prefix));)
        ++all;
    EXPECT_EQ(all, 3);
    av_metadata_free(&m);
    EXPECT_EQ(m, nullptr);
}

}  // namespace
