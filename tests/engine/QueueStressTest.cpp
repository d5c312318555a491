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

// Runs put on a second thread and take on this one until each has moved
// total units. Both get the count moved so far and return how many units
// they moved now; 0 makes them yield and retry.
template <typename Put, typename Take>
void RunPair(qint64 total, Put put, Take take) {
    std::atomic<bool> quit{false};  // the reader gave up on a failure
    std::thread producer([&] {
        for (qint64 done = 0; done < total && !quit.load();) {
            const qint64 moved = put(done);
            done += moved;
            if (moved == 0) {
                std::this_thread::yield();
            }
        }
    });
    for (qint64 done = 0; done < total && !::testing::Test::HasFailure();) {
        const qint64 moved = take(done);
        done += moved;
        if (moved == 0) {
            std::this_thread::yield();
        }
    }
    quit.store(true);
    producer.join();
}

TEST(ScheduleStressTest, AscendingTimestampsLeaveInOrder) {
    DTSList list;
    RunPair(
        kEntries,
        [&](qint64 dts) {
            QueueLock<DTSList> lock(list);
            return qint64(list.SetDTS(DTSList::Entry{dts, 1, false}));
        },
        [&](qint64 expected) {
            DTSList::Entry entry;
            QueueLock<DTSList> lock(list);
            if (!list.GetDTS(&entry)) {
                return qint64(0);
            }
            EXPECT_EQ(entry.dts, expected);
            return qint64(1);
        });
}

TEST(TrackListStressTest, ReaderSeesEveryPointOnce) {
    GPSList list;
    RunPair(
        kEntries,
        [&](qint64 i) {
            QueueLock<GPSList> lock(list);
            return qint64(list.InputData(i, i * 0.5, -i * 0.25));
        },
        [&](qint64 expected) {
            qint64 dts = -1;
            double lat = 0;
            QueueLock<GPSList> lock(list);
            if (!list.OutputData(&dts, &lat, nullptr)) {
                return qint64(0);
            }
            EXPECT_EQ(dts, expected);
            EXPECT_EQ(lat, expected * 0.5);
            return qint64(1);
        });
}

// The writer copies into its reserved room without the lock, as the audio
// decoder does, while the reader drains across every wrap.
TEST(SoundBufferStressTest, CountingBytesArriveWholeAndInOrder) {
    SoundBuffer ring;
    constexpr qint64 kTotal = 4 * 1024 * 1024;
    std::mt19937 writeSizes(7);
    std::mt19937 readSizes(8);
    std::vector<char> out(8000);
    RunPair(
        kTotal,
        [&](qint64 written) {
            const qint64 want = std::min<qint64>(1 + writeSizes() % 6000, kTotal - written);
            char* room = nullptr;
            {
                QueueLock<SoundBuffer> lock(ring);
                if (ring.LockBuf(&room, want) < want) {
                    return qint64(0);
                }
            }
            for (qint64 i = 0; i < want; ++i) {
                room[i] = char((written + i) & 0xFF);
            }
            QueueLock<SoundBuffer> lock(ring);
            ring.UnlockBuf(want);
            return want;
        },
        [&](qint64 read) {
            qint64 got = 0;
            {
                QueueLock<SoundBuffer> lock(ring);
                got = ring.OutputData(out.data(), 1 + readSizes() % 8000);
            }
            for (qint64 i = 0; i < got; ++i) {
                if (out[size_t(i)] != char((read + i) & 0xFF)) {
                    ADD_FAILURE() << "wrong byte at " << read + i;
                    return got;
                }
            }
            return got;
        });
}

}  // namespace
