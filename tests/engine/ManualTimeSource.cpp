#include "ManualTimeSource.h"

#include <algorithm>
#include <chrono>

qint64 ManualTimeSource::NowMs() {
    std::lock_guard<std::mutex> lock(mutex);
    return now;
}

bool ManualTimeSource::WaitUntil(qint64 deadlineMs, const StopCondition& stop, const void*) {
    std::unique_lock<std::mutex> lock(mutex);
    if (stop && stop()) {
        return false;
    }
    if (now >= deadlineMs) {
        return true;
    }
    const auto me = sleepers.insert(sleepers.end(), Sleeper{deadlineMs, stop ? &stop : nullptr});
    changed.notify_all();
    changed.wait(lock, [&] { return me->outcome != Outcome::Pending; });
    const bool reached = me->outcome == Outcome::Reached;
    sleepers.erase(me);
    return reached;
}

// The sleepers' conditions are evaluated here, under the mutex that each
// sleeper released when it went to sleep, so they see what it wrote before.
void ManualTimeSource::InterruptWaits() {
    std::lock_guard<std::mutex> lock(mutex);
    for (Sleeper& s : sleepers) {
        if (s.outcome == Outcome::Pending && s.stop && (*s.stop)()) {
            s.outcome = Outcome::Stopped;
        }
    }
    changed.notify_all();
}

void ManualTimeSource::AdvanceTo(qint64 ms) {
    std::lock_guard<std::mutex> lock(mutex);
    now = std::max(now, ms);
    for (Sleeper& s : sleepers) {
        if (s.outcome == Outcome::Pending && now >= s.deadline) {
            s.outcome = Outcome::Reached;
        }
    }
    changed.notify_all();
}

std::optional<ManualTimeSource::Sleep> ManualTimeSource::Sleeping(int workers) {
    std::unique_lock<std::mutex> lock(mutex);
    std::optional<Sleep> earliest;
    const auto enough = [&] {
        earliest.reset();
        int n = 0;
        for (const Sleeper& s : sleepers) {
            if (s.outcome == Outcome::Pending) {
                ++n;
                earliest = Sleep{earliest ? std::min(earliest->deadline, s.deadline) : s.deadline};
            }
        }
        return n >= workers;
    };
    if (!changed.wait_for(lock, std::chrono::seconds(5), enough)) {
        return std::nullopt;
    }
    return earliest;
}
