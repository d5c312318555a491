// The clock under virtual time: the test moves the time from one sleep of the
// clock to the next and records when each entry was released.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "ManualTimeSource.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {

constexpr qint64 kDuration = 60000;

struct Release {
    qint64 at;        // virtual ms
    qint64 position;  // first argument of Signal_updateTime
    qint64 duration;
    qint64 lastWait;
    qint64 clock;

    bool operator==(const Release& o) const {
        return std::tie(at, position, duration, lastWait, clock) ==
               std::tie(o.at, o.position, o.duration, o.lastWait, o.clock);
    }
};

std::ostream& operator<<(std::ostream& out, const Release& r) {
    return out << "{at " << r.at << ", pos " << r.position << ", dur " << r.duration << ", wait "
               << r.lastWait << ", clock " << r.clock << "}";
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bSuspend.store(false);
        controller = std::make_unique<Controller>(&time);
        controller->playStatus.store(PlayStatus::Play);
        QObject::connect(
            &controller->playCtrl, &PlayCtrl::Signal_updateTime, &controller->playCtrl,
            [this](qint64 position, qint64 duration) {
                std::lock_guard<std::mutex> lock(mutex);
                releases.push_back(Release{time.NowMs(), position, duration,
                                           controller->lastWait.load(), controller->clock.load()});
            },
            Qt::DirectConnection);
    }
    void TearDown() override {
        controller->Shutdown();
        controller.reset();
        g_bSuspend.store(false);
    }

    void Start() { controller->playCtrl.Start(); }
    void Feed(std::initializer_list<qint64> stamps, bool backward = false) {
        for (qint64 dts : stamps) {
            const qint64 value =
                dts == StreamMarker::Stop || dts == StreamMarker::End ? 0 : kDuration;
            ASSERT_TRUE(controller->playCtrl.SetDTS(dts, value, backward));
        }
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return releases.size();
    }
    std::vector<Release> Releases() {
        std::lock_guard<std::mutex> lock(mutex);
        return releases;
    }
    // Wakes the clock at each deadline it sleeps for (plus overshoot) until
    // `count` entries were released in all and the clock sleeps again.
    void RunUntil(size_t count, qint64 overshoot = 0) {
        for (;;) {
            const auto sleep = time.Sleeping();
            ASSERT_TRUE(sleep.has_value()) << "the clock stopped sleeping";
            if (Count() >= count) {
                return;
            }
            time.AdvanceTo(sleep->deadline + overshoot);
        }
    }
    // Moves the virtual time to `until` through every sleep in between.
    void RunFor(qint64 until) {
        for (;;) {
            const auto sleep = time.Sleeping();
            ASSERT_TRUE(sleep.has_value()) << "the clock stopped sleeping";
            if (time.NowMs() >= until) {
                return;
            }
            time.AdvanceTo(std::min(sleep->deadline, until));
        }
    }
    // Changes shared state the way the GUI does and lets the clock see it.
    void Apply(const std::function<void()>& change) {
        change();
        controller->InterruptWaits();
    }

    ManualTimeSource time;
    std::unique_ptr<Controller> controller;
    std::mutex mutex;
    std::vector<Release> releases;
};

struct PaceCase {
    const char* name;
    qint64 gap;  // ms between frames
    int speedIndex;
    int speed;
};

class PacingTest : public ClockTest, public ::testing::WithParamInterface<PaceCase> {};

// Entry k is due ceil(k x gap x 16 / speed) after the first, however the
// per-entry waits round; the published wait is ceil(gap x 16 / speed).
TEST_P(PacingTest, ReleasesEachEntryAtItsScaledTime) {
    const PaceCase pace = GetParam();
    controller->SpeedChange(pace.speedIndex);
    constexpr int kFrames = 12;
    Feed({StreamMarker::Open});
    for (int k = 0; k < kFrames; ++k) {
        Feed({k * pace.gap});
    }
    Start();
    RunUntil(kFrames + 1);
    std::vector<Release> expected{{0, -1, kDuration, 0, 0}, {0, 0, kDuration, 0, 0}};
    const qint64 wait = (pace.gap * 16 + pace.speed - 1) / pace.speed;
    for (qint64 k = 1; k < kFrames; ++k) {
        const qint64 at = (k * pace.gap * 16 + pace.speed - 1) / pace.speed;
        expected.push_back({at, k * pace.gap, kDuration, wait, k * pace.gap});
    }
    EXPECT_EQ(Releases(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, PacingTest,
    ::testing::Values(PaceCase{"Fps25At1_16X", 40, 0, 1}, PaceCase{"Fps25At1X", 40, 4, 16},
                      PaceCase{"Fps25At2X", 40, 5, 32}, PaceCase{"Fps25At16X", 40, 8, 256},
                      PaceCase{"Fps50At1_16X", 20, 0, 1}, PaceCase{"Fps50At1X", 20, 4, 16},
                      PaceCase{"Fps50At2X", 20, 5, 32}, PaceCase{"Fps50At16X", 20, 8, 256},
                      PaceCase{"Gap21At2X", 21, 5, 32}),
    [](const ::testing::TestParamInfo<PaceCase>& info) { return std::string(info.param.name); });

// Two workers in one virtual time: the release worker shows each frame at
// the virtual moment the clock releases its timestamp.
TEST_F(ClockTest, ReleaseWorkerShowsEachFrameWhenTheClockReachesIt) {
    VideoCtrl& video = *controller->videoCtrls[0];
    std::vector<qint64> shown;
    QObject::connect(
        &video, &VideoCtrl::Signal_show, &video,
        [&](uchar* pixels, int, int) {
            std::lock_guard<std::mutex> lock(mutex);
            shown.push_back(time.NowMs());
            std::free(pixels);
            video.FrameConsumed();
        },
        Qt::DirectConnection);
    const std::vector<unsigned char> pixels(size_t(FrameQueue::FrameBytes(2, 2)));
    for (qint64 dts : {0, 40, 80}) {
        QueueLock<FrameQueue> lock(controller->frameQueues[0]);
        ASSERT_EQ(controller->frameQueues[0].InputData(dts, pixels.data(), 2, 2),
                  QueueInput::Accepted);
    }
    Feed({0, 40, 80});
    Start();
    video.Start();
    for (;;) {
        const auto sleep = time.Sleeping(2);
        ASSERT_TRUE(sleep.has_value()) << "a worker stopped sleeping";
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (shown.size() >= 3) {
                break;
            }
        }
        time.AdvanceTo(sleep->deadline);
    }
    EXPECT_EQ(shown, (std::vector<qint64>{0, 40, 80}));
}

// A receiver that falls behind (as the window on a slow machine) holds the
// release worker at its limit of frames handed over; once it takes them, the
// worker goes on and shows every frame still queued.
TEST_F(ClockTest, ReleaseWorkerGoesOnOnceASlowReceiverCatchesUp) {
    VideoCtrl& video = *controller->videoCtrls[0];
    std::vector<uchar*> held;  // shown, not yet taken by the receiver
    QObject::connect(
        &video, &VideoCtrl::Signal_show, &video,
        [&](uchar* pixels, int, int) {
            std::lock_guard<std::mutex> lock(mutex);
            held.push_back(pixels);
        },
        Qt::DirectConnection);
    const auto catchUp = [&] {
        std::vector<uchar*> taken;
        {
            std::lock_guard<std::mutex> lock(mutex);
            taken.swap(held);
        }
        for (uchar* pixels : taken) {
            std::free(pixels);
            video.FrameConsumed();
        }
        return int(taken.size());
    };
    constexpr int kFrames = VideoCtrl::kMaxPosted + 2;
    const std::vector<unsigned char> pixels(size_t(FrameQueue::FrameBytes(2, 2)));
    for (int k = 0; k < kFrames; ++k) {
        QueueLock<FrameQueue> lock(controller->frameQueues[0]);
        ASSERT_EQ(controller->frameQueues[0].InputData(k * 40, pixels.data(), 2, 2),
                  QueueInput::Accepted);
    }
    controller->clock.store(1000);  // every frame is due
    video.Start();
    EXPECT_TRUE(time.Sleeping(1).has_value());
    EXPECT_EQ(catchUp(), VideoCtrl::kMaxPosted) << "the worker did not wait at its limit";
    EXPECT_TRUE(time.Sleeping(1).has_value());
    EXPECT_EQ(catchUp(), kFrames - VideoCtrl::kMaxPosted) << "the worker was not woken";
    controller->Shutdown();  // a worker woken only by it may still show a frame into `held`
    catchUp();
}

TEST_F(ClockTest, LateWakeUpsDoNotAddUp) {
    Feed({0, 40, 80, 120});
    Start();
    RunUntil(4, 1);  // every wake-up comes 1 ms late
    const auto r = Releases();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].at, 41);
    EXPECT_EQ(r[2].at, 81);
    EXPECT_EQ(r[3].at, 121);
}

TEST_F(ClockTest, MarkersPassAtOnceAndTheNextEntryIsNotPaced) {
    Feed({StreamMarker::Open, 0, 40, StreamMarker::End, StreamMarker::Open, 5000});
    Start();
    RunUntil(6);
    const std::vector<Release> expected{
        {0, -1, kDuration, 0, 0}, {0, 0, kDuration, 0, 0},     {40, 40, kDuration, 40, 40},
        {40, -3, 0, 40, 40},      {40, -1, kDuration, 40, 40}, {40, 5000, kDuration, 0, 5000}};
    EXPECT_EQ(Releases(), expected);
}

TEST_F(ClockTest, BackwardEntriesReportTheForwardPosition) {
    Feed({59000}, true);
    controller->reverse.store(true);
    Feed({59040}, false);  // queued forwards: reported as it is
    Start();
    RunUntil(2);
    const auto r = Releases();
    EXPECT_EQ(r[0].position, 1000);
    EXPECT_EQ(r[0].clock, 59000);
    EXPECT_EQ(r[1].position, 59040);
}

TEST_F(ClockTest, PauseHoldsTheEntryAndStepsReleaseOneEachWithItsWait) {
    Feed({StreamMarker::Open, 0, 40, 80, 120});
    Start();
    RunUntil(2);  // Open and 0; the clock now sleeps until 40
    ASSERT_EQ(time.NowMs(), 0);
    Apply([&] { controller->playStatus.store(PlayStatus::Pause); });
    RunFor(200);
    EXPECT_EQ(Count(), 2u);

    Apply([&] { controller->singleStep.exchange(true); });
    RunUntil(3);
    EXPECT_EQ(Releases().back(), (Release{240, 40, kDuration, 40, 40}));
    EXPECT_FALSE(controller->singleStep.load());
    RunFor(500);
    EXPECT_EQ(Count(), 3u);

    Apply([&] { controller->singleStep.exchange(true); });
    RunUntil(4);
    EXPECT_EQ(Releases().back(), (Release{540, 80, kDuration, 40, 80}));

    RunFor(600);
    Apply([&] { controller->playStatus.store(PlayStatus::Play); });
    RunUntil(5);
    EXPECT_EQ(Releases().back(), (Release{640, 120, kDuration, 40, 120}));
}

TEST_F(ClockTest, StepRequestWaitsForAnEntryAndIsUsedByIt) {
    controller->playStatus.store(PlayStatus::Pause);
    controller->singleStep.exchange(true);
    Start();
    RunFor(50);
    EXPECT_EQ(Count(), 0u);
    EXPECT_TRUE(controller->singleStep.load());
    Feed({StreamMarker::Open, 0});
    RunUntil(1);
    RunFor(300);
    EXPECT_EQ(Count(), 1u);  // the marker used the step; 0 waits for the next
    EXPECT_FALSE(controller->singleStep.load());
    Apply([&] { controller->singleStep.exchange(true); });
    RunUntil(2);
    EXPECT_EQ(Releases().back().position, 0);
}

TEST_F(ClockTest, ResetDuringAWaitDropsTheTakenEntry) {
    Feed({StreamMarker::Open, 0, 40, 80});
    Start();
    RunUntil(2);  // sleeping until 40
    controller->playCtrl.Clear();
    controller->clock.store(0);
    RunFor(100);
    EXPECT_EQ(Count(), 2u);
    EXPECT_EQ(controller->clock.load(), 0);
    Feed({1000, 1040});
    RunUntil(4);
    const auto r = Releases();
    EXPECT_EQ(r[2], (Release{100, 1000, kDuration, 0, 1000}));  // first after a reset: at once
    EXPECT_EQ(r[3], (Release{140, 1040, kDuration, 40, 1040}));
}

TEST_F(ClockTest, SpeedChangeDuringAWaitPacesFromThatMoment) {
    controller->SpeedChange(0);  // 1/16X: 640 ms per 40 ms frame
    Feed({0, 40, 80});
    Start();
    RunUntil(1);
    RunFor(100);
    Apply([&] { controller->SpeedChange(8); });  // 16X
    RunUntil(3);
    const auto r = Releases();
    EXPECT_EQ(r[1], (Release{103, 40, kDuration, 3, 40}));
    EXPECT_EQ(r[2], (Release{105, 80, kDuration, 3, 80}));  // 100 + ceil(80 x 16 / 256)
}

// A feed that stalled for longer than a frame is not rushed through: the
// first late entry goes at once and pacing restarts from it.
TEST_F(ClockTest, AfterAStalledFeedPacingRestarts) {
    Feed({0});
    Start();
    RunUntil(1);
    RunFor(1000);
    Feed({40, 80});
    RunUntil(3);
    const auto r = Releases();
    EXPECT_EQ(r[1], (Release{1000, 40, kDuration, 40, 40}));  // when it arrives
    EXPECT_EQ(r[2], (Release{1040, 80, kDuration, 40, 80}));
}

// Stopped, nothing is released until the Clear that precedes the Stop
// marker; unpaced play releases at once.
TEST_F(ClockTest, StopHoldsEntriesAndUnpacedReleasesAtOnce) {
    controller->playStatus.store(PlayStatus::Stop);
    Feed({0, 40, 80});
    Start();
    RunFor(100);
    EXPECT_EQ(Count(), 0u);
    controller->playCtrl.Clear();
    Feed({StreamMarker::Stop});
    RunUntil(1);
    EXPECT_EQ(Releases().back().position, StreamMarker::Stop);
    Apply([&] {
        controller->playStatus.store(PlayStatus::Play);
        controller->unpaced.store(true);
    });
    Feed({120, 160});
    RunUntil(3);
    EXPECT_EQ(Releases().back(), (Release{100, 160, kDuration, 0, 160}));
}

// A step taken by an entry that a Clear then drops is given back.
TEST_F(ClockTest, StepOfADroppedEntryIsGivenBack) {
    Feed({StreamMarker::Open, 0, 40});
    Start();
    RunUntil(2);
    Apply([&] { controller->playStatus.store(PlayStatus::Pause); });
    RunFor(50);
    Apply([&] { controller->singleStep.exchange(true); });
    RunFor(60);  // the step took 40, which waits out its gap
    controller->playCtrl.Clear();
    RunFor(200);
    EXPECT_TRUE(controller->singleStep.load());
    Feed({1000});
    RunUntil(3);
    EXPECT_EQ(Releases().back().position, 1000);
}

TEST_F(ClockTest, PauseHoldsEvenUnpacedPlay) {
    Feed({0, 40});
    Start();
    RunUntil(1);
    Apply([&] {
        controller->unpaced.store(true);
        controller->playStatus.store(PlayStatus::Pause);
    });
    RunFor(100);
    EXPECT_EQ(Count(), 1u);
    Apply([&] { controller->playStatus.store(PlayStatus::Play); });
    RunUntil(2);
    EXPECT_EQ(Releases().back(), (Release{100, 40, kDuration, 0, 40}));
}

TEST_F(ClockTest, ShutdownEndsALongWait) {
    controller->SpeedChange(0);
    Feed({0, 40000});
    Start();
    RunUntil(1);
    controller->Shutdown();  // returns only once the clock thread ended
    EXPECT_EQ(Count(), 1u);
}

}  // namespace

namespace {

// With nothing to release (no entry; paused; stopped with an entry held) the
// clock sleeps until something wakes it, with no timed poll.
TEST_F(ClockTest, AnIdlePausedOrStoppedClockSleepsWithoutADeadline) {
    Start();
    const struct {
        const char* name;
        std::function<void()> change;
    } states[] = {
        {"empty schedule", [] {}},
        {"paused with entries",
         [&] {
             controller->playStatus.store(PlayStatus::Pause);
             Feed({StreamMarker::Open, 0, 40});
         }},
        {"stopped with an entry held", [&] { controller->playStatus.store(PlayStatus::Stop); }},
    };
    for (const auto& state : states) {
        SCOPED_TRACE(state.name);
        Apply(state.change);
        RunFor(time.NowMs() + 500);
        const auto sleep = time.Sleeping();
        ASSERT_TRUE(sleep.has_value());
        EXPECT_GE(sleep->deadline, TimeSource::kNoDeadline);
    }
}

}  // namespace
