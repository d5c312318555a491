#include "engine/TimeSource.h"

TimeSource::~TimeSource() = default;

bool TimeSource::WaitFor(qint64 ms, const StopCondition& stop) {
    if (ms <= 0) {
        return true;
    }
    return WaitUntil(NowMs() + ms, stop);
}
