// What a Clear (a seek or a new recording) and the stream markers do to the
// clock and to the release workers, under virtual time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "ManualTimeSource.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {

constexpr qint64 kDuration = 4000;

class ClearTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bSuspend.store(false);
        controller = std::make_unique<Controller>(&time);
        controller->playStatus.store(PlayStatus::Play);
        QObject::connect(
            &controller->playCtrl, &PlayCtrl::Signal_updateTime, &controller->playCtrl,
            [this](qint64 position, qint64) {
                std::lock_guard<std::mutex> lock(mutex);
                positions.push_back(position);
            },
            Qt::DirectConnection);
    }
    void TearDown() override {
        controller->Shutdown();
        controller.reset();
        g_bSuspend.store(false);
    }

    void Feed(qint64 dts, bool backward) {
        ASSERT_TRUE(controller->playCtrl.SetDTS(dts, kDuration, backward));
    }
    size_t Released() {
        std::lock_guard<std::mutex> lock(mutex);
        return positions.size();
    }
    // Moves the virtual time from sleep to sleep until `count` entries were
    // released in all and `workers` workers sleep again.
    void RunUntil(size_t count, int workers) {
        for (;;) {
            const auto sleep = time.Sleeping(workers);
            ASSERT_TRUE(sleep.has_value()) << "a worker stopped sleeping";
            if (Released() >= count) {
                ASSERT_TRUE(time.Sleeping(workers).has_value());
                return;
            }
            time.AdvanceTo(sleep->deadline);
        }
    }

    ManualTimeSource time;
    std::unique_ptr<Controller> controller;
    std::mutex mutex;
    std::vector<qint64> positions;  // first arguments of Signal_updateTime
};

// Backwards the clock runs on reversed times; a seek to a later place of the
// file gives lower ones. After the Clear the clock follows them, so the time
// shown is the sought one and frames are paced again from there.
TEST_F(ClearTest, AfterAClearTheClockFollowsEarlierEntries) {
    controller->reverse.store(true);
    Feed(StreamMarker::Open, true);
    Feed(2960, true);  // position 1040
    controller->playCtrl.Start();
    RunUntil(2, 1);
    ASSERT_EQ(controller->clock.load(), 2960);

    controller->Clear();
    Feed(1000, true);  // position 3000
    Feed(1040, true);
    RunUntil(4, 1);
    EXPECT_EQ(positions, (std::vector<qint64>{-1, 1040, 3000, 2960}));
    EXPECT_EQ(controller->clock.load(), 1040);
    EXPECT_EQ(time.NowMs(), 40);  // the second entry after the Clear was paced
}

// A frame decoded before a Clear waits for its time; when the clock of after
// the Clear passes it before the decode worker has emptied the frame queue,
// it is dropped, not shown.
TEST_F(ClearTest, AFrameQueuedBeforeAClearIsNeverShownAfterIt) {
    VideoCtrl& video = *controller->videoCtrls[0];
    int shown = 0;
    QObject::connect(
        &video, &VideoCtrl::Signal_show, &video,
        [&](uchar* pixels, int, int) {
            std::lock_guard<std::mutex> lock(mutex);
            shown += pixels != nullptr;
            std::free(pixels);
            video.FrameConsumed();
        },
        Qt::DirectConnection);
    const std::vector<unsigned char> pixels(size_t(FrameQueue::FrameBytes(2, 2)));
    {
        QueueLock<FrameQueue> lock(controller->frameQueues[0]);
        ASSERT_EQ(controller->frameQueues[0].InputData(500, pixels.data(), 2, 2),
                  QueueInput::Accepted);
    }
    video.Start();
    ASSERT_TRUE(time.Sleeping(1).has_value());  // the frame waits for the clock

    controller->Clear();  // the decode worker has not passed it on yet
    Feed(3000, false);
    controller->playCtrl.Start();
    RunUntil(1, 2);
    EXPECT_EQ(controller->clock.load(), 3000);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(shown, 0);
}

// A timestamp is shown once: a second frame with it is dropped, until the
// Open marker of the next recording, whose frames start afresh.
TEST_F(ClearTest, EachTimeIsShownOnceUntilTheNextRecordingOpens) {
    VideoCtrl& video = *controller->videoCtrls[0];
    int pictures = 0;
    int empties = 0;
    QObject::connect(
        &video, &VideoCtrl::Signal_show, &video,
        [&](uchar* pixels, int, int) {
            std::lock_guard<std::mutex> lock(mutex);
            (pixels ? pictures : empties) += 1;
            if (pixels) {
                std::free(pixels);
                video.FrameConsumed();
            }
        },
        Qt::DirectConnection);
    const std::vector<unsigned char> pixels(size_t(FrameQueue::FrameBytes(2, 2)));
    for (qint64 dts : {qint64(40), qint64(40), StreamMarker::Open, qint64(40)}) {
        const bool marker = StreamMarker::IsMarker(dts);
        QueueLock<FrameQueue> lock(controller->frameQueues[0]);
        ASSERT_EQ(controller->frameQueues[0].InputData(dts, marker ? nullptr : pixels.data(),
                                                       marker ? 0 : 2, marker ? 0 : 2),
                  QueueInput::Accepted);
    }
    controller->clock.store(1000);  // every frame is due
    video.Start();
    ASSERT_TRUE(time.Sleeping(1).has_value());  // the queue is empty
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(pictures, 2);
    EXPECT_EQ(empties, 1);
}

}  // namespace
