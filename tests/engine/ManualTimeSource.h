#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include "engine/TimeSource.h"

// Virtual time for worker tests, for one waiting worker at a time. Time moves
// only when the test advances it, and every wake-up is decided at once in the
// test's thread: after AdvanceTo or InterruptWaits returns, a sleeper that is
// due or whose stop condition holds is no longer reported as sleeping. Waits
// serve no Qt events.
class ManualTimeSource : public TimeSource {
public:
    struct Sleep {
        qint64 deadline = 0;  // virtual ms the sleeper waits for
    };

    qint64 NowMs() override;
    bool WaitUntil(qint64 deadlineMs, const StopCondition& stop,
                   const void* tag = nullptr) override;
    void InterruptWaits() override;

    // Sets the virtual time (never backwards) and wakes a sleeper that is due.
    void AdvanceTo(qint64 ms);
    // Blocks (up to 5 s of real time) until a worker sleeps; none when it
    // never does.
    std::optional<Sleep> Sleeping();

private:
    enum class Outcome { Pending, Reached, Stopped };

    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex.
    qint64 now = 0;
    bool sleeping = false;
    qint64 sleepDeadline = 0;
    const StopCondition* sleeperStop = nullptr;
    Outcome outcome = Outcome::Pending;
};
