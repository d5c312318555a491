// Producer and consumer on two threads for every queue, bounded in size so
// the whole set stays quick; run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "engine/DTSList.h"
#include "engine/DataQueue.h"
#include "engine/FrameQueue.h"
#include "engine/GPSList.h"
#include "engine/PacketQueue.h"
#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"

namespace {

constexpr int kEntries = 20000;

// Entry payload: its generation and sequence number, then filler bytes that
// depend on both.
struct Tag {
    qint32 generation;
    qint32 seq;
};

int PayloadSize(const Tag& tag) {
    return int(sizeof(Tag)) + (tag.seq * 7 + tag.generation) % 200;
}

void Fill(std::vector<unsigned char>* bytes, const Tag& tag) {
    bytes->resize(size_t(PayloadSize(tag)));
    std::memcpy(bytes->data(), &tag, sizeof(Tag));
    for (size_t i = sizeof(Tag); i < bytes->size(); ++i) {
        (*bytes)[i] = static_cast<unsigned char>(tag.seq + i);
    }
}

bool Intact(const unsigned char* data, int size, Tag* tag) {
    if (size < int(sizeof(Tag))) {
        return false;
    }
    std::memcpy(tag, data, sizeof(Tag));
    std::vector<unsigned char> expected;
    Fill(&expected, *tag);
    return size == int(expected.size()) && std::memcmp(expected.data(), data, size_t(size)) == 0;
}

// Adapters over the three rings, the frame ring carrying its payload in the
// pixels of a frame whose height encodes the size.
struct PacketRing {
    PacketQueue queue{256};
    QueueInput Put(const std::vector<unsigned char>& bytes, qint64 dts) {
        return queue.InputData(28, dts, bytes.data(), int(bytes.size()), 1, 1);
    }
    bool Get(unsigned char* out, int* size) {
        return queue.OutputData(nullptr, nullptr, out, 1024, size, nullptr, nullptr);
    }
};

struct DataRing {
    DataQueue queue{256};
    QueueInput Put(const std::vector<unsigned char>& bytes, qint64 dts) {
        return queue.InputData(dts, bytes.data(), int(bytes.size()));
    }
    bool Get(unsigned char* out, int* size) { return queue.OutputData(nullptr, out, 1024, size); }
};

struct FrameRing {
    FrameQueue queue;
    // Frames of 2 x h hold 3h bytes: pad the payload up to that.
    QueueInput Put(std::vector<unsigned char> bytes, qint64 dts) {
        const int height = int(bytes.size() + 2) / 3;
        bytes.resize(size_t(FrameQueue::FrameBytes(2, height)), 0xEE);
        return queue.InputData(dts, bytes.data(), 2, height);
    }
    bool Get(unsigned char* out, int* size) {
        int width = 0;
        int height = 0;
        if (!queue.OutputData(nullptr, out, 1024, &width, &height)) {
            return false;
        }
        Tag tag;
        std::memcpy(&tag, out, sizeof(Tag));
        *size = PayloadSize(tag);
        return true;
    }
};

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
