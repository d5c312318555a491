#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/Sleeper.h"
#include "engine/Suspend.h"
#include "engine/SystemTimeSource.h"
#include "engine/Worker.h"

namespace {

// Counts the events it receives and the thread they arrive in.
class EventCounter : public QObject {
public:
    std::atomic<int> count{0};
    std::atomic<QThread*> thread{nullptr};

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) {
            return QObject::event(e);
        }
        thread.store(QThread::currentThread());
        ++count;
        return true;
    }
};

class WaitTest : public ::testing::Test {
protected:
    void SetUp() override { g_bSuspend.store(false); }
    void TearDown() override { g_bSuspend.store(false); }
    SystemTimeSource* time = SystemTimeSource::Instance();
};

TEST_F(WaitTest, ZeroWaitReturnsWithoutServingEvents) {
    EventCounter counter;
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    EXPECT_TRUE(time->WaitFor(0));
    Sleeper::msleep1(0);
    Sleeper::msleep2(0);
    EXPECT_EQ(counter.count.load(), 0);
    Sleeper::msleep1(3);
    EXPECT_EQ(counter.count.load(), 1);
}

// Measured with the real clock in microseconds: never early, and asleep
// meanwhile (the stop condition is looked at once per wake-up, not in a
// spin). How late it ends is the machine's business: see the clock benchmark.
TEST_F(WaitTest, LastsAtLeastTheTimeAndSleeps) {
    using namespace std::chrono;
    for (int ms : {1, 2, 7, 20, 150}) {
        int looks = 0;
        const auto start = steady_clock::now();
        EXPECT_TRUE(time->WaitFor(ms, [&] { return ++looks < 0; }));
        const auto us = duration_cast<microseconds>(steady_clock::now() - start).count();
        EXPECT_GE(us, ms * 1000);
        EXPECT_LE(looks, 10) << ms << " ms";
    }
}

TEST_F(WaitTest, StopConditionRaisedFromAnotherThreadEndsTheWait) {
    std::atomic<bool> stop{false};
    std::thread other([&] {
        QThread::msleep(20);
        stop.store(true);
        time->InterruptWaits();
    });
    const bool reached = time->WaitUntil(time->NowMs() + 600000, [&] { return stop.load(); });
    other.join();
    EXPECT_FALSE(reached);
}

// A worker that only waits, as an idle engine worker does.
class IdleWorker : public Worker {
public:
    explicit IdleWorker(TimeSource* time) : Worker(time) {}
    // Ends the loop first, so a test that failed half-way does not hang here.
    ~IdleWorker() override {
        g_bSuspend.store(true);
        time->InterruptWaits();
        Wait();
    }
    std::atomic<int> passes{0};

protected:
    void run() override {
        while (!g_bSuspend.load()) {
            ++passes;
            delay_ms(2);
        }
        Finish(QStringLiteral("Idle exit"));
    }
};

TEST_F(WaitTest, WorkerServesQueuedEventsInItsWaitsAndEndsOnTheExitFlag) {
    IdleWorker worker(time);
    EventCounter counter;
    worker.Start();
    counter.moveToThread(worker.thread());
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    for (int ms = 0; counter.count.load() == 0 && ms < 10000; ++ms) {
        QThread::msleep(1);
    }
    ASSERT_EQ(counter.count.load(), 1);
    EXPECT_EQ(counter.thread.load(), worker.thread());
    g_bSuspend.store(true);
    time->InterruptWaits();
    worker.Wait();
    EXPECT_TRUE(worker.thread()->isFinished());
    EXPECT_GT(worker.passes.load(), 0);
}

TEST_F(WaitTest, WorkerNeverStartedOrStartedAfterTheExitFlagEndsAtOnce) {
    IdleWorker unstarted(time);
    unstarted.Wait();
    EXPECT_EQ(unstarted.passes.load(), 0);
    g_bSuspend.store(true);
    IdleWorker late(time);
    late.Start();
    late.Wait();
    EXPECT_EQ(late.passes.load(), 0);
    EXPECT_TRUE(late.thread()->isFinished());
}

}  // namespace
