#include "engine/SystemTimeSource.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {
constexpr qint64 kUsPerMs = 1000;
// Longest single timer; a longer wait takes several.
constexpr qint64 kMaxTimerMs = 1 << 30;
}  // namespace

SystemTimeSource* SystemTimeSource::Instance() {
    static SystemTimeSource* const instance = new SystemTimeSource;
    return instance;
}

qint64 SystemTimeSource::NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 SystemTimeSource::NowMs() {
    return NowUs() / kUsPerMs;
}

bool SystemTimeSource::WaitUntil(qint64 deadlineMs, const StopCondition& stop, const void* tag) {
    return WaitUntilUs(deadlineMs * kUsPerMs, stop, tag);
}

bool SystemTimeSource::WaitFor(qint64 ms, const StopCondition& stop, const void* tag) {
    if (ms <= 0) {
        return true;
    }
    return WaitUntilUs(NowUs() + ms * kUsPerMs, stop, tag);
}

bool SystemTimeSource::WaitUntilUs(qint64 deadlineUs, const StopCondition& stop, const void* tag) {
    if (stop && stop()) {
        return false;
    }
    if (NowUs() >= deadlineUs) {
        return true;
    }
    if (!QAbstractEventDispatcher::instance()) {
        QEventLoop createsDispatcher;  // threads not started by QThread have none yet
    }
    const Waiter waiter{QAbstractEventDispatcher::instance(), tag};
    Register(waiter);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    bool reached = false;
    for (;;) {
        if (stop && stop()) {
            break;
        }
        const qint64 leftUs = deadlineUs - NowUs();
        if (leftUs <= 0) {
            reached = true;
            break;
        }
        const qint64 leftMs = (leftUs + kUsPerMs - 1) / kUsPerMs;
        timer.start(int(std::min(leftMs, kMaxTimerMs)));
        waiter.dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    Unregister(waiter);
    return reached;
}

void SystemTimeSource::InterruptWaits() {
    std::lock_guard<std::mutex> lock(mutex);
    for (const Waiter& waiter : waiting) {
        waiter.dispatcher->wakeUp();
    }
}

void SystemTimeSource::Wake(const void* tag) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const Waiter& waiter : waiting) {
        if (waiter.tag == tag) {
            waiter.dispatcher->wakeUp();
        }
    }
}

void SystemTimeSource::Register(const Waiter& waiter) {
    std::lock_guard<std::mutex> lock(mutex);
    waiting.push_back(waiter);
}

void SystemTimeSource::Unregister(const Waiter& waiter) {
    std::lock_guard<std::mutex> lock(mutex);
    waiting.erase(std::find_if(waiting.begin(), waiting.end(), [&](const Waiter& w) {
        return w.dispatcher == waiter.dispatcher && w.tag == waiter.tag;
    }));
}
