#pragma once

#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>

#include "engine/TimeSource.h"

// Virtual time for worker tests, for any number of waiting workers. Time
// moves only when the test advances it, and every wake-up is decided at once
// in the test's thread: after AdvanceTo or InterruptWaits returns, a sleeper
// that is due or whose stop condition holds is no longer reported as
// sleeping. Waits serve no Qt events.
class ManualTimeSource : public TimeSource {
public:
    struct Sleep {
        qint64 deadline = 0;  // virtual ms the sleeper waits for
    };

    qint64 NowMs() override;
    bool WaitUntil(qint64 deadlineMs, const StopCondition& stop,
                   const void* tag = nullptr) override;
    void InterruptWaits() override;

    // Sets the virtual time (never backwards) and wakes every sleeper due.
    void AdvanceTo(qint64 ms);
    // Blocks (up to 5 s of real time) until at least `workers` workers sleep;
    // then the earliest deadline among the sleepers, none on the time-out.
    std::optional<Sleep> Sleeping(int workers = 1);

private:
    enum class Outcome { Pending, Reached, Stopped };

    struct Sleeper {
        qint64 deadline = 0;
        const StopCondition* stop = nullptr;
        Outcome outcome = Outcome::Pending;
    };

    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex. One entry per waiting worker, removed by that worker;
    // a list, so entries stay put while others come and go.
    qint64 now = 0;
    std::list<Sleeper> sleepers;
};
