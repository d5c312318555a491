// Streams, packet buffers and the per-stream index.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "container/avformat.h"
#include "container/mem.h"

using namespace container;

namespace {

struct Context {
    AVFormatContext s{};
    ~Context() { avformat_free_context_avi(&s); }
};

TEST(Records, PacketBufferIsReusedWhenLargeEnough) {
    std::vector<uint8_t> file(1100000);
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<uint8_t>(i);
    ByteIOContext* pb = nullptr;
    ASSERT_EQ(url_open_buf(&pb, file.data(), static_cast<int>(file.size()), URL_RDONLY), 0);

    AVPacket pkt{};
    EXPECT_EQ(av_new_packet(&pkt, 700000), 0);
    EXPECT_EQ(pkt.capacity, 700000);
    uint8_t* first = pkt.data;
    EXPECT_EQ(av_get_packet(pb, &pkt, 650000), 650000);
    EXPECT_EQ(pkt.data, first);
    EXPECT_EQ(pkt.pos, 0);
    EXPECT_EQ(pkt.size, 650000);
    EXPECT_EQ(pkt.data[649999], file[649999]);

    url_fseek(pb, 0, 0);
    EXPECT_EQ(av_get_packet(pb, &pkt, 1000000), 1000000);
    EXPECT_EQ(pkt.capacity, 1000000);
    EXPECT_EQ(std::memcmp(pkt.data, file.data(), 1000000), 0);
    for (int i = 0; i < FF_INPUT_BUFFER_PADDING_SIZE; ++i)
        EXPECT_EQ(pkt.data[1000000 + i], 0);

    // Short read at the end: the count read.
    EXPECT_EQ(av_get_packet(pb, &pkt, 200000), 100000);
    EXPECT_EQ(pkt.pos, 1000000);
    // Nothing left: no buffer, capacity 0, and the next read allocates afresh.
    EXPECT_EQ(av_get_packet(pb, &pkt, 10), 0);
    EXPECT_EQ(pkt.data, nullptr);
    EXPECT_EQ(pkt.capacity, 0);
    url_fseek(pb, 5, 0);
    EXPECT_EQ(av_get_packet(pb, &pkt, 10), 10);
    EXPECT_EQ(pkt.capacity, kMinPacketBuffer);
    EXPECT_EQ(pkt.data[0], 5);

    EXPECT_EQ(av_get_packet(pb, &pkt, -1), AVERROR_INVAL);
    url_fseek(pb, 1099990, 0);
    EXPECT_EQ(av_get_packet(pb, &pkt, kMaxPacketSize), 10) << "the largest size is allowed";
    EXPECT_EQ(av_get_packet(pb, &pkt, kMaxPacketSize + 1), AVERROR_INVAL);
    av_destruct_packet(&pkt);
    EXPECT_EQ(pkt.data, nullptr);
    av_free(pb);
}

class Index : public ::testing::Test {
protected:
    Context c;
    AVStream* st = nullptr;
    void SetUp() override { st = av_new_stream_avi(&c.s, 0); }
    std::vector<int64_t> timestamps() const {
        std::vector<int64_t> t;
        for (int i = 0; i < st->nb_index_entries; ++i)
            t.push_back(st->index_entries[i].timestamp);
        return t;
    }
};

TEST_F(Index, InsertsInOrderAndReplacesEqualTimestamps) {
    EXPECT_EQ(av_add_index_entry(st, 100, 0, 10, 0, AVINDEX_KEYFRAME), 0);
    EXPECT_EQ(av_add_index_entry(st, 300, 20, 10, 0, 0), 1);
    EXPECT_EQ(av_add_index_entry(st, 200, 10, 10, 0, 0), 1);
    EXPECT_EQ(timestamps(), (std::vector<int64_t>{0, 10, 20}));
    EXPECT_EQ(av_add_index_entry(st, 250, 10, 77, 5, AVINDEX_KEYFRAME), 1);
    EXPECT_EQ(st->nb_index_entries, 3);
    EXPECT_EQ(st->index_entries[1].pos, 250);
    EXPECT_EQ(st->index_entries[1].size, 77u);
    EXPECT_EQ(st->index_entries[1].flags, unsigned(AVINDEX_KEYFRAME));
    EXPECT_EQ(av_add_index_entry(st, 250, 10, 77, 3, 0), 1);
    EXPECT_EQ(st->index_entries[1].min_distance, 5) << "same position keeps the larger distance";
}

TEST_F(Index, RefusesBadSizes) {
    EXPECT_EQ(av_add_index_entry(st, 0, 0, -1, 0, 0), -1);
    EXPECT_EQ(av_add_index_entry(st, 0, 0, 0x40000000, 0, 0), -1);
    EXPECT_EQ(av_add_index_entry(st, 0, 0, 0x3FFFFFFF, 0, 0), 0);
    EXPECT_EQ(st->index_entries[0].size, 0x3FFFFFFFu);
}

TEST_F(Index, SearchModes) {
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(av_index_search_timestamp(st, 5, i), -1) << "empty index, flags " << i;
    // key frames at 10 and 30, others at 0, 20, 40
    for (int t = 0; t <= 40; t += 10)
        av_add_index_entry(st, t * 10, t, 1, 0, (t == 10 || t == 30) ? AVINDEX_KEYFRAME : 0);
    struct {
        int64_t t;
        int flags;
        int expected;
    } cases[] = {
        {25, AVSEEK_FLAG_BACKWARD, 1},
        {25, 0, 3},
        {30, 0, 3},
        {30, AVSEEK_FLAG_BACKWARD, 3},
        {5, AVSEEK_FLAG_BACKWARD, -1},
        {35, 0, -1},
        {25, AVSEEK_FLAG_ANY, 3},
        {25, AVSEEK_FLAG_ANY | AVSEEK_FLAG_BACKWARD, 2},
        {99, AVSEEK_FLAG_ANY, -1},
        {99, AVSEEK_FLAG_BACKWARD, 3},
        {-5, 0, 1},
    };
    for (auto& k : cases)
        EXPECT_EQ(av_index_search_timestamp(st, k.t, k.flags), k.expected) << k.t << "/" << k.flags;
}

}  // namespace
