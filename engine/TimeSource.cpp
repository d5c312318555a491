#include "engine/TimeSource.h"

TimeSource::~TimeSource() = default;

void TimeSource::Wake(const void*) {
    InterruptWaits();
}

bool TimeSource::WaitFor(qint64 ms, const StopCondition& stop, const void* tag) {
    if (ms <= 0) {
        return true;
    }
    return WaitUntil(NowMs() + ms, stop, tag);
}

void TimeSource::WaitForCause(const StopCondition& stop, const void* tag) {
    WaitUntil(kNoDeadline, stop, tag);
}
