#pragma once

#include <QtGlobal>
#include <functional>

// Where the workers read the time and wait: the system's monotonic clock in
// the program, a driven virtual clock in tests.
class TimeSource {
public:
    using StopCondition = std::function<bool()>;

    virtual ~TimeSource();

    // Monotonic milliseconds.
    virtual qint64 NowMs() = 0;

    // Blocks the calling thread until NowMs() reaches deadlineMs or stop (when
    // given) returns true, serving the thread's events meanwhile, and sleeping
    // rather than spinning. True when the deadline was reached; a deadline
    // already passed returns true at once without serving events.
    virtual bool WaitUntil(qint64 deadlineMs, const StopCondition& stop) = 0;

    // Makes every thread inside WaitUntil look at its stop condition again;
    // called after changing something a stop condition reads.
    virtual void InterruptWaits() = 0;

    // Waits ms milliseconds (0 or less returns at once); ends early only on
    // stop. True when the whole time passed.
    bool WaitFor(qint64 ms, const StopCondition& stop = {});
};
