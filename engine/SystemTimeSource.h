#pragma once

#include <mutex>
#include <vector>

#include "engine/TimeSource.h"

class QAbstractEventDispatcher;

// The real time source: a monotonic clock, and waits that sleep in the
// thread's event dispatcher (so queued calls and timers of the thread run
// inside them) until a precise timer, an interrupt or a wake of their tag
// ends the sleep. A sleep is not cut into slices: a stop condition is looked
// at again only when something wakes the waiter.
class SystemTimeSource : public TimeSource {
public:
    // The process-wide instance; never destroyed.
    static SystemTimeSource* Instance();

    qint64 NowMs() override;
    bool WaitUntil(qint64 deadlineMs, const StopCondition& stop,
                   const void* tag = nullptr) override;
    void InterruptWaits() override;
    void Wake(const void* tag) override;
    // Measured in microseconds, so a wait never ends before ms have passed.
    bool WaitFor(qint64 ms, const StopCondition& stop = {}, const void* tag = nullptr) override;

private:
    struct Waiter {
        QAbstractEventDispatcher* dispatcher;
        const void* tag;
    };

    static qint64 NowUs();
    bool WaitUntilUs(qint64 deadlineUs, const StopCondition& stop, const void* tag);
    void Register(const Waiter& waiter);
    void Unregister(const Waiter& waiter);

    std::mutex mutex;
    // Guarded by mutex: the threads now waiting (a thread may appear more
    // than once when a wait runs inside another's event).
    std::vector<Waiter> waiting;
};
