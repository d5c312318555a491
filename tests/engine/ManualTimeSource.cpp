#include "ManualTimeSource.h"

#include <chrono>

qint64 ManualTimeSource::NowMs() {
    std::lock_guard<std::mutex> lock(mutex);
    return now;
}

bool ManualTimeSource::WaitUntil(qint64 deadlineMs, const StopCondition& stop) {
    std::unique_lock<std::mutex> lock(mutex);
    if (stop && stop()) {
        return false;
    }
    if (now >= deadlineMs) {
        return true;
    }
    ++seq;
    sleeping = true;
    sleepDeadline = deadlineMs;
    changed.notify_all();
    bool reached = false;
    for (;;) {
        if (stop && stop()) {
            break;
        }
        if (now >= deadlineMs) {
            reached = true;
            break;
        }
        changed.wait(lock);
    }
    sleeping = false;
    changed.notify_all();
    return reached;
}

void ManualTimeSource::InterruptWaits() {
    std::lock_guard<std::mutex> lock(mutex);
    changed.notify_all();
}

void ManualTimeSource::AdvanceTo(qint64 ms) {
    std::lock_guard<std::mutex> lock(mutex);
    if (ms > now) {
        now = ms;
    }
    changed.notify_all();
}

std::optional<ManualTimeSource::Sleep> ManualTimeSource::NextSleep(quint64 after) {
    std::unique_lock<std::mutex> lock(mutex);
    const bool found =
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return sleeping && seq > after; });
    if (!found) {
        return std::nullopt;
    }
    return Sleep{seq, sleepDeadline};
}
