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

// One step of a scripted run: write a block (expect 1 if granted), read (expect
// the count), reserve without committing (expect the grant) or check the length.
enum class Op { Write, Read, Grant, Length };

struct Step {
    Op op;
    qint64 n;
    qint64 expect;
};

struct Script {
    const char* name;
    std::vector<Step> steps;
};

class SoundScriptTest : public ::testing::TestWithParam<Script> {};

TEST_P(SoundScriptTest, EveryStepAsExpectedAndBytesInOrder) {
    CountingRing r;
    int index = 0;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE(::testing::Message() << "step " << index++);
        char* room = nullptr;
        switch (step.op) {
            case Op::Write:
                ASSERT_EQ(r.Write(step.n), step.expect == 1);
                break;
            case Op::Read:
                ASSERT_EQ(r.Read(step.n), step.expect);
                break;
            case Op::Grant:
                ASSERT_EQ(r.ring.LockBuf(&room, step.n), step.expect);
                EXPECT_EQ(room == nullptr, step.expect == 0);
                break;
            case Op::Length:
                ASSERT_EQ(r.ring.GetBufDataLen(), step.expect);
                break;
        }
    }
}

constexpr qint64 kFull = SoundBuffer::kCapacity;

// 101000 bytes leave too little room for a 2000-byte block before the end:
// the writer wraps early and the valid bytes end at 101000.
INSTANTIATE_TEST_SUITE_P(
    Rings, SoundScriptTest,
    ::testing::Values(Script{"EarlyWrapGrantsOnlyTheRoomBeforeTheReader",
                             {{Op::Write, 101000, 1},
                              {Op::Read, 500, 500},
                              {Op::Grant, 2000, 500},
                              {Op::Length, 0, 100500},
                              {Op::Read, 2000, 2000},
                              {Op::Write, 2000, 1},
                              {Op::Read, 200000, 100500}}},
                      Script{"EarlyWrapWithReaderAtStartMakesTheRingFullAndLosesNothing",
                             {{Op::Write, 101000, 1},
                              {Op::Grant, 2000, 0},
                              {Op::Length, 0, 101000},
                              {Op::Read, 200000, 101000},
                              {Op::Length, 0, 0}}},
                      Script{"EarlyWrapOfAnEmptyRingRestartsAtZero",
                             {{Op::Write, 101000, 1},
                              {Op::Read, 101000, 101000},
                              {Op::Grant, 2000, 101000},
                              {Op::Write, 2000, 1},
                              {Op::Read, 5000, 2000}}},
                      Script{"ReadEndingAtTheWrapPointKeepsALaterFullRing",
                             {{Op::Write, 101000, 1},
                              {Op::Read, 500, 500},
                              {Op::Grant, 2000, 500},
                              {Op::Read, 100500, 100500},
                              {Op::Length, 0, 0},
                              {Op::Write, kFull, 1},
                              {Op::Length, 0, kFull},
                              {Op::Read, kFull, kFull}}},
                      Script{"CommitUpToTheWrapFillsWhenTheReaderIsAtZero",
                             {{Op::Write, kFull, 1}, {Op::Length, 0, kFull}, {Op::Grant, 1, 0}}},
                      Script{"ReadAcrossTheWrapComesInOrder",
                             {{Op::Write, 100000, 1},
                              {Op::Read, 99000, 99000},
                              {Op::Write, 2400, 1},
                              {Op::Write, 3000, 1},
                              {Op::Read, 10000, 1000 + 2400 + 3000}}}),
    [](const ::testing::TestParamInfo<Script>& info) { return std::string(info.param.name); });

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
