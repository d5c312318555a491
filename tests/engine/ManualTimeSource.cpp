#include "ManualTimeSource.h"

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
    sleeping = true;
    sleepDeadline = deadlineMs;
    sleeperStop = stop ? &stop : nullptr;
    outcome = Outcome::Pending;
    changed.notify_all();
    changed.wait(lock, [&] { return outcome != Outcome::Pending; });
    sleeperStop = nullptr;
    return outcome == Outcome::Reached;
}

// The sleeper's condition is evaluated here, under the mutex that the sleeper
// released when it went to sleep, so it sees what the sleeper wrote before.
void ManualTimeSource::InterruptWaits() {
    std::lock_guard<std::mutex> lock(mutex);
    if (sleeping && sleeperStop && (*sleeperStop)()) {
        sleeping = false;
        outcome = Outcome::Stopped;
        changed.notify_all();
    }
}

void ManualTimeSource::AdvanceTo(qint64 ms) {
    std::lock_guard<std::mutex> lock(mutex);
    if (ms > now) {
        now = ms;
    }
    if (sleeping && now >= sleepDeadline) {
        sleeping = false;
        outcome = Outcome::Reached;
        changed.notify_all();
    }
}

std::optional<ManualTimeSource::Sleep> ManualTimeSource::Sleeping() {
    std::unique_lock<std::mutex> lock(mutex);
    if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return sleeping; })) {
        return std::nullopt;
    }
    return Sleep{sleepDeadline};
}
