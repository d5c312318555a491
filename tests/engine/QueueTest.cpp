#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/DataQueue.h"
#include "engine/FrameQueue.h"
#include "engine/PacketQueue.h"
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

// One adapter per queue so the ring rules are checked once for all three.
struct PacketAdapter {
    static constexpr int kCapacity = 15;
    PacketQueue queue{1024};
    QueueInput Push(int id) {
        const auto bytes = Bytes(8 + id % 5, id);
        return queue.InputData(28, id, bytes.data(), int(bytes.size()), 320, 240);
    }
    bool Take(int* id) {
        std::vector<unsigned char> out(1024);
        qint64 dts = 0;
        int size = 0;
        if (!queue.OutputData(nullptr, &dts, out.data(), qint64(out.size()), &size, nullptr,
                              nullptr)) {
            return false;
        }
        *id = int(dts);
        out.resize(size_t(size));
        return out == Bytes(8 + *id % 5, *id);
    }
};

struct FrameAdapter {
    static constexpr int kCapacity = 35;
    FrameQueue queue;
    QueueInput Push(int id) {
        const auto bytes = Bytes(int(FrameQueue::FrameBytes(4, 2 + id % 3)), id);
        return queue.InputData(id, bytes.data(), 4, 2 + id % 3);
    }
    bool Take(int* id) {
        std::vector<unsigned char> out(64);
        qint64 dts = 0;
        int width = 0;
        int height = 0;
        if (!queue.OutputData(&dts, out.data(), qint64(out.size()), &width, &height)) {
            return false;
        }
        *id = int(dts);
        out.resize(size_t(FrameQueue::FrameBytes(width, height)));
        return out == Bytes(int(FrameQueue::FrameBytes(4, 2 + *id % 3)), *id);
    }
};

struct DataAdapter {
    static constexpr int kCapacity = 30;
    DataQueue queue{256};
    QueueInput Push(int id) {
        const auto bytes = Bytes(20 + id % 7, id);
        return queue.InputData(id, bytes.data(), int(bytes.size()));
    }
    bool Take(int* id) {
        std::vector<unsigned char> out(256);
        qint64 dts = 0;
        int size = 0;
        if (!queue.OutputData(&dts, out.data(), qint64(out.size()), &size)) {
            return false;
        }
        *id = int(dts);
        out.resize(size_t(size));
        return out == Bytes(20 + *id % 7, *id);
    }
};

template <typename Adapter>
class RingTest : public ::testing::Test {
protected:
    Adapter ring;
};

using Adapters = ::testing::Types<PacketAdapter, FrameAdapter, DataAdapter>;
TYPED_TEST_SUITE(RingTest, Adapters);

TYPED_TEST(RingTest, RefusesWhenFullAndTakesTheFreedSlotNext) {
    constexpr int n = TypeParam::kCapacity;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(this->ring.Push(i), QueueInput::Accepted);
    }
    EXPECT_EQ(this->ring.Push(n), QueueInput::Full);
    int id = -1;
    ASSERT_TRUE(this->ring.Take(&id));
    EXPECT_EQ(id, 0);
    EXPECT_EQ(this->ring.Push(n), QueueInput::Accepted);
    EXPECT_EQ(this->ring.queue.Count(), n);
    for (int i = 1; i <= n; ++i) {
        ASSERT_TRUE(this->ring.Take(&id));
        EXPECT_EQ(id, i);
    }
    EXPECT_FALSE(this->ring.Take(&id));
}

TYPED_TEST(RingTest, KeepsOrderAndContentAcrossManyWraps) {
    constexpr int n = TypeParam::kCapacity;
    int next = 0;
    int expected = 0;
    // Uneven fill levels make both indices pass the wrap point at different times.
    for (int round = 0; round < 4 * n; ++round) {
        for (int k = 0; k < round % 4 + 1; ++k) {
            if (this->ring.Push(next) == QueueInput::Accepted) {
                ++next;
            }
        }
        for (int k = 0; k < round % 3 + 1; ++k) {
            int id = -1;
            if (!this->ring.Take(&id)) {
                break;
            }
            ASSERT_EQ(id, expected++);
        }
    }
    int id = -1;
    while (this->ring.Take(&id)) {
        ASSERT_EQ(id, expected++);
    }
    EXPECT_EQ(expected, next);
    EXPECT_GT(next, 3 * n);
}

TYPED_TEST(RingTest, ClearDropsOldEntriesButKeepsLaterOnes) {
    ASSERT_EQ(this->ring.Push(1), QueueInput::Accepted);
    ASSERT_EQ(this->ring.Push(2), QueueInput::Accepted);
    this->ring.queue.Clear();
    EXPECT_TRUE(this->ring.queue.IsReset());
    int id = -1;
    EXPECT_FALSE(this->ring.Take(&id));
    ASSERT_EQ(this->ring.Push(7), QueueInput::Accepted);
    EXPECT_TRUE(this->ring.queue.TakeReset());
    EXPECT_FALSE(this->ring.queue.TakeReset());
    ASSERT_TRUE(this->ring.Take(&id));
    EXPECT_EQ(id, 7);
}

TEST(PacketQueueTest, MarkerThenLargerPacketInTheSameSlotArrivesWhole) {
    PacketQueue queue(4096);
    QueueLock<PacketQueue> lock(queue);
    ASSERT_EQ(queue.InputData(0, StreamMarker::Open, nullptr, 0, 0, 0), QueueInput::Accepted);
    std::vector<unsigned char> out(4096);
    qint64 dts = 0;
    int size = -1;
    ASSERT_TRUE(queue.OutputData(nullptr, &dts, nullptr, 0, &size, nullptr, nullptr));
    EXPECT_EQ(dts, StreamMarker::Open);
    EXPECT_EQ(size, 0);
    // Fill and drain 14 small packets so that slot 0 comes round again.
    const auto small = Bytes(10, 1);
    for (int i = 0; i < 14; ++i) {
        ASSERT_EQ(queue.InputData(28, i, small.data(), 10, 1, 1), QueueInput::Accepted);
        ASSERT_TRUE(
            queue.OutputData(nullptr, nullptr, out.data(), 4096, nullptr, nullptr, nullptr));
    }
    const auto big = Bytes(1000, 9);
    ASSERT_EQ(queue.InputData(28, 600, big.data(), 1000, 2, 3), QueueInput::Accepted);
    int type = 0;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(queue.OutputData(&type, &dts, out.data(), 4096, &size, &width, &height));
    EXPECT_EQ(type, 28);
    EXPECT_EQ(dts, 600);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 3);
    ASSERT_EQ(size, 1000);
    EXPECT_EQ(0, std::memcmp(out.data(), big.data(), 1000));
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

struct BadPacket {
    const char* name;
    int size;
    bool withData;
};

class PacketRefusalTest : public ::testing::TestWithParam<BadPacket> {};

TEST_P(PacketRefusalTest, IsRefusedNotFullAndChangesNothing) {
    PacketQueue queue(PacketQueue::kMaxAudioPacketBytes);
    std::vector<unsigned char> bytes(4096, 1);
    const BadPacket bad = GetParam();
    EXPECT_EQ(queue.InputData(0x15002, 1, bad.withData ? bytes.data() : nullptr, bad.size, 0, 0),
              QueueInput::Refused);
    EXPECT_EQ(queue.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Packets, PacketRefusalTest,
                         ::testing::Values(BadPacket{"LargerThanTheConsumerTakes", 2049, true},
                                           BadPacket{"NegativeSize", -1, true},
                                           BadPacket{"BytesWithoutData", 16, false}),
                         [](const ::testing::TestParamInfo<BadPacket>& info) {
                             return std::string(info.param.name);
                         });

TEST(PacketQueueTest, AcceptsExactlyTheLargestPacket) {
    PacketQueue queue(PacketQueue::kMaxAudioPacketBytes);
    std::vector<unsigned char> bytes(2048, 5);
    EXPECT_EQ(queue.InputData(0x15002, 1, bytes.data(), 2048, 0, 0), QueueInput::Accepted);
}

TEST(FrameQueueTest, FrameSizes) {
    EXPECT_EQ(FrameQueue::FrameBytes(1920, 1080), 3110400);
    EXPECT_EQ(FrameQueue::FrameBytes(3, 3), 13);  // 13.5 truncated
    EXPECT_EQ(FrameQueue::FrameBytes(0, 0), 0);
    EXPECT_EQ(FrameQueue::FrameBytes(-4, 2), 0);
    // 64-bit arithmetic: no wrap for absurd sides.
    EXPECT_EQ(FrameQueue::FrameBytes(65536, 65536), qint64(6442450944));
}

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

TEST(FrameQueueTest, FullHdFrameRoundTrips) {
    FrameQueue queue;
    const auto pixels = Bytes(3110400, 4);
    ASSERT_EQ(queue.InputData(40, pixels.data(), 1920, 1080), QueueInput::Accepted);
    std::vector<unsigned char> out(size_t(FrameQueue::kMaxFrameBytes));
    int width = 0;
    int height = 0;
    ASSERT_TRUE(queue.OutputData(nullptr, out.data(), qint64(out.size()), &width, &height));
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
    EXPECT_EQ(0, std::memcmp(out.data(), pixels.data(), pixels.size()));
}

TEST(DataQueueTest, RefusesRecordsLargerThanTheWorkerBuffer) {
    DataQueue queue(256);
    std::vector<unsigned char> record(257, 2);
    EXPECT_EQ(queue.InputData(1, record.data(), 257), QueueInput::Refused);
    EXPECT_EQ(queue.InputData(1, record.data(), 256), QueueInput::Accepted);
}

}  // namespace
