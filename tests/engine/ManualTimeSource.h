#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include "engine/TimeSource.h"

// Virtual time for worker tests: time moves only when the test advances it,
// and the test can see when a worker sleeps and until when. Meant for one
// waiting worker at a time. Waits serve no Qt events.
class ManualTimeSource : public TimeSource {
public:
    struct Sleep {
        quint64 seq = 0;      // counts the waits begun so far
        qint64 deadline = 0;  // virtual ms the sleeper waits for
    };

    qint64 NowMs() override;
    bool WaitUntil(qint64 deadlineMs, const StopCondition& stop) override;
    void InterruptWaits() override;

    // Sets the virtual time (never backwards) and wakes sleepers that are due.
    void AdvanceTo(qint64 ms);
    // Blocks (up to 5 s of real time) until a worker sleeps in a wait begun
    // after wait number `after`; none when it never does.
    std::optional<Sleep> NextSleep(quint64 after);

private:
    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex.
    qint64 now = 0;
    quint64 seq = 0;
    bool sleeping = false;
    qint64 sleepDeadline = 0;
};
