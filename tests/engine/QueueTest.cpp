#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "QueueRings.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"

namespace {

std::vector<unsigned char> Bytes(int size, int seed) {
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        bytes[size_t(i)] = static_cast<unsigned char>(seed * 31 + i);
    }
    return bytes;
}

// Entry `id` of a ring is tagged, so order and content are checked on the way out.
template <typename Ring>
class RingTest : public ::testing::Test {
protected:
    QueueInput Push(int id) {
        std::vector<unsigned char> bytes;
        Fill(&bytes, Tag{0, id});
        return ring.Put(bytes, id);
    }
    bool Take(int* id) {
        std::vector<unsigned char> out(kRingOut);
        int size = 0;
        Tag tag{};
        if (!ring.Get(out.data(), &size)) {
            return false;
        }
        EXPECT_TRUE(Intact(out.data(), size, &tag));
        *id = tag.seq;
        return true;
    }
    Ring ring;
};

using Rings = ::testing::Types<PacketRing, FrameRing, DataRing>;
TYPED_TEST_SUITE(RingTest, Rings);

TYPED_TEST(RingTest, RefusesWhenFullAndTakesTheFreedSlotNext) {
    constexpr int n = decltype(TypeParam::queue)::kCapacity;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(this->Push(i), QueueInput::Accepted);
    }
    EXPECT_EQ(this->Push(n), QueueInput::Full);
    int id = -1;
    ASSERT_TRUE(this->Take(&id));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(this->Push(n), QueueInput::Accepted);
    EXPECT_EQ(this->ring.queue.Count(), n);
    for (int i = 1; i <= n; ++i) {
        ASSERT_TRUE(this->Take(&id));
        EXPECT_EQ(id, i);
    }
    EXPECT_FALSE(this->Take(&id));
}

TYPED_TEST(RingTest, KeepsOrderAndContentAcrossManyWraps) {
    constexpr int n = decltype(TypeParam::queue)::kCapacity;
    int next = 0;
    int expected = 0;
    // Uneven fill levels make both indices pass the wrap point at different times.
    for (int round = 0; round < 4 * n; ++round) {
        for (int k = 0; k < round % 4 + 1; ++k) {
            if (this->Push(next) == QueueInput::Accepted) {
                ++next;
            }
        }
        for (int k = 0; k < round % 3 + 1; ++k) {
            int id = -1;
            if (!this->Take(&id)) {
                break;
            }
            ASSERT_EQ(id, expected++);
        }
    }
    int id = -1;
    while (this->Take(&id)) {
        ASSERT_EQ(id, expected++);
    }
    EXPECT_EQ(expected, next);
    EXPECT_GT(next, 3 * n);
}

TYPED_TEST(RingTest, ClearDropsOldEntriesButKeepsLaterOnes) {
    ASSERT_EQ(this->Push(1), QueueInput::Accepted);
    ASSERT_EQ(this->Push(2), QueueInput::Accepted);
    this->ring.queue.Clear();
    EXPECT_TRUE(this->ring.queue.IsReset());
    int id = -1;
    EXPECT_FALSE(this->Take(&id));
    ASSERT_EQ(this->Push(7), QueueInput::Accepted);
    EXPECT_TRUE(this->ring.queue.TakeReset());
    EXPECT_FALSE(this->ring.queue.TakeReset());
    ASSERT_TRUE(this->Take(&id));
    EXPECT_EQ(id, 7);
}

TEST(PacketQueueTest, PacketStaysWhenTheDestinationCannotHoldIt) {
    PacketQueue queue(100);
    const auto bytes = Bytes(50, 3);
    ASSERT_EQ(queue.InputData(28, 5, bytes.data(), 50, 0, 0), QueueInput::Accepted);
    std::vector<unsigned char> out(100, 0xAA);
    EXPECT_FALSE(queue.OutputData(nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr));
    EXPECT_FALSE(queue.OutputData(nullptr, nullptr, out.data(), 49, nullptr, nullptr, nullptr));
    EXPECT_EQ(out[0], 0xAA);  // nothing written past a short destination
    EXPECT_EQ(queue.Count(), 1);
    int size = 0;
    ASSERT_TRUE(queue.OutputData(nullptr, nullptr, out.data(), 50, &size, nullptr, nullptr));
    EXPECT_EQ(size, 50);
}

struct PacketCase {
    const char* name;
    int size;
    bool withData;
    QueueInput expected;
};

class PacketSizeTest : public ::testing::TestWithParam<PacketCase> {};

TEST_P(PacketSizeTest, RefusedNotFullAndNothingStored) {
    PacketQueue queue(PacketQueue::kMaxAudioPacketBytes);
    std::vector<unsigned char> bytes(4096, 1);
    const PacketCase c = GetParam();
    EXPECT_EQ(queue.InputData(0x15002, 1, c.withData ? bytes.data() : nullptr, c.size, 0, 0),
              c.expected);
    EXPECT_EQ(queue.Count(), c.expected == QueueInput::Accepted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Packets, PacketSizeTest,
    ::testing::Values(PacketCase{"LargestTheConsumerTakes", 2048, true, QueueInput::Accepted},
                      PacketCase{"LargerThanTheConsumerTakes", 2049, true, QueueInput::Refused},
                      PacketCase{"NegativeSize", -1, true, QueueInput::Refused},
                      PacketCase{"BytesWithoutData", 16, false, QueueInput::Refused}),
    [](const ::testing::TestParamInfo<PacketCase>& info) { return std::string(info.param.name); });

TEST(FrameQueueTest, MarkerIsTakenWithoutADestination) {
    FrameQueue queue;
    ASSERT_EQ(queue.InputData(StreamMarker::End, nullptr, 0, 0), QueueInput::Accepted);
    qint64 dts = 0;
    int width = -1;
    int height = -1;
    ASSERT_TRUE(queue.OutputData(&dts, nullptr, 0, &width, &height));
    EXPECT_EQ(dts, StreamMarker::End);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST(FrameQueueTest, RefusesFramesNoReleaseWorkerCanTake) {
    FrameQueue queue;
    std::vector<unsigned char> pixels(16, 0);
    EXPECT_EQ(queue.InputData(0, pixels.data(), 65536, 65536), QueueInput::Refused);
    EXPECT_EQ(queue.InputData(0, pixels.data(), -2, 4), QueueInput::Refused);
    EXPECT_EQ(queue.InputData(0, nullptr, 4, 2), QueueInput::Refused);
    EXPECT_EQ(queue.Count(), 0);
}

TEST(DataQueueTest, RefusesRecordsLargerThanTheWorkerBuffer) {
    DataQueue queue(256);
    std::vector<unsigned char> record(257, 2);
    EXPECT_EQ(queue.InputData(1, record.data(), 257), QueueInput::Refused);
    EXPECT_EQ(queue.InputData(1, record.data(), 256), QueueInput::Accepted);
}

// Large frames fill the frame ring by bytes before its slots run out; a take
// makes room again.
TEST(FrameQueueTest, LargeFramesAreBoundedByBytes) {
    FrameQueue queue;
    const std::vector<unsigned char> pixels(size_t(FrameQueue::FrameBytes(1920, 1080)));
    QueueLock<FrameQueue> lock(queue);
    int n = 0;
    while (queue.InputData(n, pixels.data(), 1920, 1080) == QueueInput::Accepted) {
        ++n;
    }
    EXPECT_EQ(n, int(FrameQueue::kMaxQueuedBytes / qint64(pixels.size())));
    std::vector<unsigned char> out;
    ASSERT_TRUE(queue.OutputData(nullptr, &out, nullptr, nullptr));
    EXPECT_EQ(queue.InputData(n, pixels.data(), 1920, 1080), QueueInput::Accepted);
}

// Frames handed over by block travel without a copy: the block that comes
// out is the one that went in, with its bytes, in order, markers between.
TEST(FrameQueueTest, HandedOverBlocksComeOutAsTheyWentIn) {
    FrameQueue queue;
    QueueLock<FrameQueue> lock(queue);
    std::vector<const unsigned char*> given;
    for (int i = 0; i < 3; ++i) {
        SlotBuffer pixels;
        ASSERT_TRUE(pixels.Reserve(FrameQueue::FrameBytes(4, 2)));
        const std::vector<unsigned char> bytes = Bytes(12, i);
        std::memcpy(pixels.Data(), bytes.data(), bytes.size());
        given.push_back(pixels.Data());
        ASSERT_EQ(queue.InputFrame(i * 40, &pixels, 4, 2), QueueInput::Accepted);
        EXPECT_EQ(pixels.Data(), nullptr);  // the ring has it now
    }
    SlotBuffer none;
    ASSERT_EQ(queue.InputFrame(StreamMarker::End, &none, 0, 0), QueueInput::Accepted);
    for (int i = 0; i < 4; ++i) {
        SlotBuffer out;
        qint64 dts = -9;
        int width = -1;
        int height = -1;
        ASSERT_TRUE(queue.OutputFrame(&dts, &out, &width, &height));
        if (i == 3) {
            EXPECT_EQ(dts, StreamMarker::End);
            EXPECT_EQ(out.Data(), nullptr);
            EXPECT_EQ(width, 0);
            break;
        }
        EXPECT_EQ(dts, i * 40);
        EXPECT_EQ(width, 4);
        EXPECT_EQ(height, 2);
        EXPECT_EQ(out.Data(), given[size_t(i)]);
        EXPECT_EQ(std::memcmp(out.Data(), Bytes(12, i).data(), 12), 0);
    }
    EXPECT_EQ(queue.Count(), 0);
}

// A frame the ring cannot take stays with the producer; one whose block is
// smaller than its size is refused.
TEST(FrameQueueTest, RefusedOrFullHandOverKeepsTheBlock) {
    FrameQueue queue;
    QueueLock<FrameQueue> lock(queue);
    SlotBuffer small;
    ASSERT_TRUE(small.Reserve(11));
    EXPECT_EQ(queue.InputFrame(0, &small, 4, 2), QueueInput::Refused);
    EXPECT_NE(small.Data(), nullptr);
    for (int i = 0; i < FrameQueue::kCapacity; ++i) {
        SlotBuffer pixels;
        ASSERT_TRUE(pixels.Reserve(12));
        ASSERT_EQ(queue.InputFrame(i, &pixels, 4, 2), QueueInput::Accepted);
    }
    SlotBuffer extra;
    ASSERT_TRUE(extra.Reserve(12));
    EXPECT_EQ(queue.InputFrame(99, &extra, 4, 2), QueueInput::Full);
    EXPECT_NE(extra.Data(), nullptr);
}

// The producer that found no room is told about by the next take, once.
TEST(FrameQueueTest, TakeAfterAFullRingTellsThatRoomIsWanted) {
    FrameQueue queue;
    QueueLock<FrameQueue> lock(queue);
    const std::vector<unsigned char> pixels(12, 1);
    for (int i = 0; i < FrameQueue::kCapacity; ++i) {
        ASSERT_EQ(queue.InputData(i, pixels.data(), 4, 2), QueueInput::Accepted);
    }
    EXPECT_FALSE(queue.TakeRoomWanted());
    EXPECT_EQ(queue.InputData(99, pixels.data(), 4, 2), QueueInput::Full);
    EXPECT_TRUE(queue.TakeRoomWanted());
    EXPECT_FALSE(queue.TakeRoomWanted());
    EXPECT_FALSE(queue.HasRoomOrAsk(4, 2));
    EXPECT_TRUE(queue.TakeRoomWanted());
}

}  // namespace
