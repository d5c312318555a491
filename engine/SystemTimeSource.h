#pragma once

#include <mutex>
#include <vector>

#include "engine/TimeSource.h"

class QAbstractEventDispatcher;

// The real time source: a monotonic millisecond clock, and waits that sleep in
// the thread's event dispatcher (so queued calls and timers of the thread run
// inside them) until a precise timer or an interrupt wakes them.
class SystemTimeSource : public TimeSource {
public:
    // The process-wide instance; never destroyed.
    static SystemTimeSource* Instance();

    qint64 NowMs() override;
    bool WaitUntil(qint64 deadlineMs, const StopCondition& stop) override;
    void InterruptWaits() override;

private:
    void Register(QAbstractEventDispatcher* dispatcher);
    void Unregister(QAbstractEventDispatcher* dispatcher);

    std::mutex mutex;
    // Guarded by mutex: dispatchers of the threads now waiting (a thread may
    // appear more than once when a wait runs inside another's event).
    std::vector<QAbstractEventDispatcher*> waiting;
};
