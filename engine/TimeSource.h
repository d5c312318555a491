#pragma once

#include <QtGlobal>
#include <functional>

// Where the workers read the time and wait: the system's monotonic clock in
// the program, a driven virtual clock in tests.
class TimeSource {
public:
    using StopCondition = std::function<bool()>;
    // A deadline never reached: the wait ends on its stop condition only.
    static constexpr qint64 kNoDeadline = qint64(1) << 50;

    virtual ~TimeSource();

    // Monotonic milliseconds.
    virtual qint64 NowMs() = 0;

    // Blocks the calling thread until NowMs() reaches deadlineMs or stop (when
    // given) returns true, serving the thread's events meanwhile, and sleeping
    // rather than spinning. tag names what the waiter waits for (a queue, the
    // clock); Wake(tag) wakes only the waiters of that tag. True when the
    // deadline was reached; a deadline already passed returns true at once
    // without serving events.
    virtual bool WaitUntil(qint64 deadlineMs, const StopCondition& stop,
                           const void* tag = nullptr) = 0;

    // Makes every thread inside WaitUntil look at its stop condition again;
    // called after changing something a stop condition reads.
    virtual void InterruptWaits() = 0;
    // The same for the waiters of one tag only; all of them here.
    virtual void Wake(const void* tag);

    // Waits ms milliseconds (0 or less returns at once), never less; ends
    // early only on stop. True when the whole time passed.
    virtual bool WaitFor(qint64 ms, const StopCondition& stop = {}, const void* tag = nullptr);
    // Waits until stop holds, however long; whoever makes it hold must wake
    // the waiter (InterruptWaits, or Wake(tag)).
    void WaitForCause(const StopCondition& stop, const void* tag = nullptr);
};
