#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/AudioDevice.h"
#include "engine/SoundBuffer.h"

namespace {

// Writes and reads a counting byte sequence so any loss or reordering shows.
class CountingRing {
public:
    SoundBuffer ring;

    // Writes n bytes as one block; false when the ring grants too little room.
    bool Write(qint64 n) {
        char* room = nullptr;
        if (ring.LockBuf(&room, n) < n) {
            return false;
        }
        for (qint64 i = 0; i < n; ++i) {
            room[i] = char(written++ & 0xFF);
        }
        ring.UnlockBuf(n);
        return true;
    }
    // Reads up to n bytes; returns how many, failing the test on a wrong byte.
    qint64 Read(qint64 n) {
        std::vector<char> out(static_cast<size_t>(n));
        const qint64 got = ring.OutputData(out.data(), n);
        for (qint64 i = 0; i < got; ++i) {
            EXPECT_EQ(out[size_t(i)], char(read++ & 0xFF)) << "byte " << read - 1;
        }
        return got;
    }

    qint64 written = 0;
    qint64 read = 0;
};

TEST(SoundBufferTest, EarlyWrapGrantsOnlyTheRoomBeforeTheReader) {
    CountingRing r;
    ASSERT_TRUE(r.Write(101000));
    ASSERT_EQ(r.Read(500), 500);
    char* room = nullptr;
    EXPECT_EQ(r.ring.LockBuf(&room, 2000), 500);  // wrapped early: room from 0 to the reader
    EXPECT_EQ(r.ring.GetBufDataLen(), 100500);
    ASSERT_EQ(r.Read(2000), 2000);
    EXPECT_TRUE(r.Write(2000));
    EXPECT_EQ(r.Read(200000), 98500 + 2000);
    EXPECT_EQ(r.read, r.written);
}

TEST(SoundBufferTest, EarlyWrapWithReaderAtStartMakesTheRingFullAndLosesNothing) {
    CountingRing r;
    ASSERT_TRUE(r.Write(101000));
    char* room = nullptr;
    EXPECT_EQ(r.ring.LockBuf(&room, 2000), 0);
    EXPECT_EQ(room, nullptr);
    EXPECT_EQ(r.ring.GetBufDataLen(), 101000);
    EXPECT_EQ(r.Read(200000), 101000);
    EXPECT_EQ(r.ring.GetBufDataLen(), 0);
}

TEST(SoundBufferTest, EarlyWrapOfAnEmptyRingRestartsAtZero) {
    CountingRing r;
    ASSERT_TRUE(r.Write(101000));
    ASSERT_EQ(r.Read(101000), 101000);
    char* room = nullptr;
    EXPECT_EQ(r.ring.LockBuf(&room, 2000), 101000);
    EXPECT_TRUE(r.Write(2000));
    EXPECT_EQ(r.Read(5000), 2000);
}

TEST(SoundBufferTest, ReadEndingAtTheWrapPointKeepsALaterFullRing) {
    CountingRing r;
    ASSERT_TRUE(r.Write(101000));
    ASSERT_EQ(r.Read(500), 500);
    char* room = nullptr;
    ASSERT_EQ(r.ring.LockBuf(&room, 2000), 500);  // wraps early at 101000
    ASSERT_EQ(r.Read(100500), 100500);            // ends exactly at the wrap point
    EXPECT_EQ(r.ring.GetBufDataLen(), 0);
    ASSERT_TRUE(r.Write(SoundBuffer::kCapacity));  // fills the whole ring
    EXPECT_EQ(r.ring.GetBufDataLen(), SoundBuffer::kCapacity);
    EXPECT_EQ(r.Read(SoundBuffer::kCapacity), SoundBuffer::kCapacity);
}

TEST(SoundBufferTest, CommitUpToTheWrapWrapsAndFillsWhenTheReaderIsAtZero) {
    CountingRing r;
    ASSERT_TRUE(r.Write(SoundBuffer::kCapacity));
    EXPECT_EQ(r.ring.GetBufDataLen(), SoundBuffer::kCapacity);
    char* room = nullptr;
    EXPECT_EQ(r.ring.LockBuf(&room, 1), 0);
}

TEST(SoundBufferTest, ZeroCommitAndOversizedBlocksChangeNothing) {
    CountingRing r;
    ASSERT_TRUE(r.Write(100));
    char* room = nullptr;
    EXPECT_EQ(r.ring.LockBuf(&room, SoundBuffer::kCapacity + 1), 0);
    EXPECT_EQ(room, nullptr);
    ASSERT_GT(r.ring.LockBuf(&room, 10), 0);
    r.ring.UnlockBuf(0);
    EXPECT_EQ(r.ring.GetBufDataLen(), 100);
    // A commit larger than the grant is cut to the grant.
    ASSERT_EQ(r.ring.LockBuf(&room, 10), 10);
    r.ring.UnlockBuf(50);
    EXPECT_EQ(r.ring.GetBufDataLen(), 110);
}

TEST(SoundBufferTest, ReadAcrossTheWrapComesInOrder) {
    CountingRing r;
    ASSERT_TRUE(r.Write(100000));
    ASSERT_EQ(r.Read(99000), 99000);
    ASSERT_TRUE(r.Write(2400));  // up to the end
    ASSERT_TRUE(r.Write(3000));  // from the start
    EXPECT_EQ(r.Read(10000), 1000 + 2400 + 3000);
}

TEST(SoundBufferTest, SeekDiscardsAndClearForgetsEverything) {
    CountingRing r;
    ASSERT_TRUE(r.Write(1000));
    r.ring.SeekBufDataLen(300);
    r.read += 300;
    EXPECT_EQ(r.ring.GetBufDataLen(), 700);
    EXPECT_EQ(r.Read(100), 100);
    r.ring.SeekBufDataLen(5000);
    EXPECT_EQ(r.ring.GetBufDataLen(), 0);
    r.ring.SetEndDts(1234);
    r.ring.Clear();
    EXPECT_EQ(r.ring.EndDts(), 0);
    EXPECT_TRUE(r.ring.TakeReset());
    char* room = nullptr;
    EXPECT_EQ(r.ring.LockBuf(&room, SoundBuffer::kCapacity), SoundBuffer::kCapacity);
}

TEST(SoundBufferTest, RandomBlocksArriveWholeAndInOrder) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> writeSize(1, 5000);
    std::uniform_int_distribution<int> readSize(1, 7000);
    CountingRing r;
    for (int step = 0; step < 20000; ++step) {
        if (random() % 2) {
            r.Write(writeSize(random));
        } else {
            r.Read(readSize(random));
        }
        ASSERT_EQ(r.ring.GetBufDataLen(), r.written - r.read);
    }
    while (r.Read(7000) > 0) {
    }
    EXPECT_EQ(r.read, r.written);
    EXPECT_GT(r.written, 10 * SoundBuffer::kCapacity);
}

// Opened for reading only, unbuffered: buffered bytes as they are, then
// silence for an empty ring rather than a short read.
TEST(AudioDeviceTest, ServesBufferedBytesThenSilence) {
    SoundBuffer ring;
    char* room = nullptr;
    ASSERT_EQ(ring.LockBuf(&room, 3), 3);
    std::memcpy(room, "abc", 3);
    ring.UnlockBuf(3);
    AudioDevice device(&ring);
    EXPECT_FALSE(device.open(QIODevice::ReadWrite));
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    EXPECT_TRUE(device.openMode() & QIODevice::Unbuffered);
    EXPECT_EQ(device.read(4096), QByteArray("abc"));
    EXPECT_EQ(device.write("x", 1), -1);
    EXPECT_EQ(device.read(4096), QByteArray(4096, '\0'));
}

}  // namespace
