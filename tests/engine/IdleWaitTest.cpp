// The decode and release workers of an idle channel sleep until their cause
// (a packet, a frame, exit): passing time alone wakes neither.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "Limits.h"
#include "ManualTimeSource.h"
#include "engine/Controller.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/SystemTimeSource.h"

namespace {

class IdleWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bSuspend.store(false);
        QObject::connect(
            controller.videoCtrls[0].get(), &VideoCtrl::Signal_show, controller.videoCtrls[0].get(),
            [this](uchar* pixels, int, int) {
                if (!pixels) {
                    ++emptied;
                }
            },
            Qt::DirectConnection);
        controller.decodeCtrls[0]->Start();
        controller.videoCtrls[0]->Start();
    }
    void TearDown() override {
        controller.Shutdown();
        g_bSuspend.store(false);
    }

    ManualTimeSource time;
    Controller controller{&time};
    std::atomic<int> emptied{0};
};

TEST_F(IdleWaitTest, TimeAloneWakesNeitherWorker) {
    const auto before = time.Sleeping(2);
    ASSERT_TRUE(before.has_value());
    time.AdvanceTo(600000);  // ten minutes of idle play
    const auto after = time.Sleeping(2);
    ASSERT_TRUE(after.has_value());
    // Both still in the sleep they began with: none woke and slept again.
    EXPECT_EQ(after->deadline, before->deadline);
    EXPECT_GT(after->deadline, time.NowMs());
}

TEST_F(IdleWaitTest, APacketWakesTheChainWithoutTimeMoving) {
    ASSERT_TRUE(time.Sleeping(2).has_value());
    ASSERT_TRUE(controller.InputData(StreamMarker::Open));
    QElapsedTimer real;
    real.start();
    while (emptied.load() == 0 && real.elapsed() < 5000) {
        QThread::msleep(1);
    }
    EXPECT_EQ(emptied.load(), 1);  // the marker went through decode and release
    EXPECT_EQ(time.NowMs(), 0);
}

TEST_F(IdleWaitTest, ShutdownEndsBothAtOnce) {
    ASSERT_TRUE(time.Sleeping(2).has_value());
    QElapsedTimer real;
    real.start();
    controller.Shutdown();
    controller.decodeCtrls[0]->Wait();
    controller.videoCtrls[0]->Wait();
    EXPECT_LT(real.elapsed(), testsupport::kExitLimitMs);
}

// On the real clock: a wait that names its cause looks at its stop condition
// when it begins and when woken, not every few milliseconds in between.
TEST(SystemWaitTest, ATaggedWaitSleepsUntilWoken) {
    SystemTimeSource* time = SystemTimeSource::Instance();
    const int tag = 0;
    std::atomic<int> looks{0};
    std::atomic<bool> go{false};
    std::atomic<bool> reached{true};
    std::thread waiter([&] {
        reached.store(time->WaitFor(
            60000,
            [&] {
                ++looks;
                return go.load();
            },
            &tag));
    });
    QThread::msleep(950);
    const int idleLooks = looks.load();
    go.store(true);
    QElapsedTimer woken;
    woken.start();
    time->Wake(&tag);
    waiter.join();
    EXPECT_LE(idleLooks, 4);  // a look every 100 ms would be 9 or more
    EXPECT_FALSE(reached.load());
    EXPECT_LT(woken.elapsed(), testsupport::kExitLimitMs);
}

}  // namespace
