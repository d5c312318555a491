// Producer and consumer on two threads for every queue, bounded in size so
// the whole set stays quick; run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "QueueRings.h"
#include "engine/DTSList.h"
#include "engine/GPSList.h"
#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"

namespace {

constexpr int kEntries = 20000;

template <typename Ring>
class QueueStressTest : public ::testing::Test {
protected:
    Ring ring;
};

using Rings = ::testing::Types<PacketRing, DataRing, FrameRing>;
TYPED_TEST_SUITE(QueueStressTest, Rings);

// The producer clears the ring now and then and starts a new generation; the
// consumer takes the reset flag with each take under one lock hold. Each
// entry must be the next of its generation, and a reset must be seen exactly
// before the first entry of a newer generation: nothing stale, nothing lost.
TYPED_TEST(QueueStressTest, ClearsAreNeverLostAndLaterEntriesNeverDropped) {
    std::atomic<bool> done{false};
    std::thread producer([&] {
        std::mt19937 random(42);
        std::vector<unsigned char> bytes;
        Tag tag{0, 0};
        for (int sent = 0; sent < kEntries;) {
            if (random() % 500 == 0) {
                QueueLock<decltype(this->ring.queue)> lock(this->ring.queue);
                this->ring.queue.Clear();
                tag = Tag{tag.generation + 1, 0};
                continue;
            }
            Fill(&bytes, tag);
            QueueInput result;
            {
                QueueLock<decltype(this->ring.queue)> lock(this->ring.queue);
                result = this->ring.Put(bytes, tag.seq);
            }
            if (result == QueueInput::Refused) {
                ADD_FAILURE() << "entry refused";
                break;
            }
            if (result == QueueInput::Accepted) {
                ++tag.seq;
                ++sent;
            } else {
                std::this_thread::yield();
            }
        }
        done.store(true);
    });

    std::vector<unsigned char> out(1024);
    Tag last{0, -1};
    int taken = 0;
    int resets = 0;
    for (;;) {
        bool reset = false;
        bool got = false;
        int size = 0;
        {
            QueueLock<decltype(this->ring.queue)> lock(this->ring.queue);
            reset = this->ring.queue.TakeReset();
            got = this->ring.Get(out.data(), &size);
        }
        if (reset) {
            ++resets;
            last = Tag{last.generation, -1};
        }
        if (!got) {
            if (done.load() && !this->ring.queue.IsReset()) {
                QueueLock<decltype(this->ring.queue)> lock(this->ring.queue);
                if (this->ring.queue.Count() == 0) {
                    break;
                }
            }
            std::this_thread::yield();
            continue;
        }
        Tag tag;
        ASSERT_TRUE(Intact(out.data(), size, &tag));
        if (last.seq == -1 && reset) {
            ASSERT_GT(tag.generation, last.generation);
            ASSERT_EQ(tag.seq, 0);
        } else if (last.seq == -1 && taken == 0) {
            ASSERT_EQ(tag.seq, 0);
        } else if (last.seq == -1) {
            // A reset taken with an empty ring: the next entry opens a newer generation.
            ASSERT_GT(tag.generation, last.generation);
            ASSERT_EQ(tag.seq, 0);
        } else {
            ASSERT_EQ(tag.generation, last.generation);
            ASSERT_EQ(tag.seq, last.seq + 1);
        }
        last = tag;
        ++taken;
    }
    producer.join();
    EXPECT_GT(taken, 0);
    EXPECT_GT(resets, 0);
}

TEST(ScheduleStressTest, AscendingTimestampsLeaveInOrder) {
    DTSList list;
    std::thread producer([&] {
        for (qint64 dts = 0; dts < kEntries;) {
            bool accepted = false;
            {
                QueueLock<DTSList> lock(list);
                accepted = list.SetDTS(DTSList::Entry{dts, 1, false});
            }
            if (accepted) {
                ++dts;
            } else {
                std::this_thread::yield();
            }
        }
    });
    qint64 expected = 0;
    while (expected < kEntries) {
        DTSList::Entry entry;
        bool got = false;
        {
            QueueLock<DTSList> lock(list);
            got = list.GetDTS(&entry);
        }
        if (!got) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(entry.dts, expected++);
    }
    producer.join();
}

TEST(TrackListStressTest, ReaderSeesEveryPointOnce) {
    GPSList list;
    std::thread writer([&] {
        for (int i = 0; i < kEntries; ++i) {
            QueueLock<GPSList> lock(list);
            list.InputData(i, i * 0.5, -i * 0.25);
        }
    });
    qint64 expected = 0;
    while (expected < kEntries) {
        qint64 dts = -1;
        double lat = 0;
        bool got = false;
        {
            QueueLock<GPSList> lock(list);
            got = list.OutputData(&dts, &lat, nullptr);
        }
        if (!got) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(dts, expected);
        ASSERT_EQ(lat, expected * 0.5);
        ++expected;
    }
    writer.join();
}

// The writer copies into its reserved room without the lock, as the audio
// decoder does, while the reader drains across every wrap.
TEST(SoundBufferStressTest, CountingBytesArriveWholeAndInOrder) {
    SoundBuffer ring;
    constexpr qint64 kTotal = 4 * 1024 * 1024;
    std::thread writer([&] {
        std::mt19937 random(7);
        qint64 written = 0;
        while (written < kTotal) {
            const qint64 want = std::min<qint64>(1 + random() % 6000, kTotal - written);
            char* room = nullptr;
            qint64 granted = 0;
            {
                QueueLock<SoundBuffer> lock(ring);
                granted = ring.LockBuf(&room, want);
            }
            if (granted < want) {
                std::this_thread::yield();
                continue;
            }
            for (qint64 i = 0; i < want; ++i) {
                room[i] = char((written + i) & 0xFF);
            }
            QueueLock<SoundBuffer> lock(ring);
            ring.UnlockBuf(want);
            written += want;
        }
    });
    std::mt19937 random(8);
    std::vector<char> out(8000);
    qint64 read = 0;
    while (read < kTotal) {
        qint64 got = 0;
        {
            QueueLock<SoundBuffer> lock(ring);
            got = ring.OutputData(out.data(), 1 + random() % 8000);
        }
        for (qint64 i = 0; i < got; ++i) {
            ASSERT_EQ(out[size_t(i)], char((read + i) & 0xFF)) << "at " << read + i;
        }
        read += got;
        if (got == 0) {
            std::this_thread::yield();
        }
    }
    writer.join();
    EXPECT_EQ(read, kTotal);
}

}  // namespace
