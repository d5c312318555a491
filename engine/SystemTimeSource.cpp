#include "engine/SystemTimeSource.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {
// A state change made without InterruptWaits is still seen within this time.
constexpr qint64 kMaxSliceMs = 20;
}  // namespace

SystemTimeSource* SystemTimeSource::Instance() {
    static SystemTimeSource* const instance = new SystemTimeSource;
    return instance;
}

qint64 SystemTimeSource::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool SystemTimeSource::WaitUntil(qint64 deadlineMs, const StopCondition& stop) {
    if (stop && stop()) {
        return false;
    }
    if (NowMs() >= deadlineMs) {
        return true;
    }
    if (!QAbstractEventDispatcher::instance()) {
        QEventLoop createsDispatcher;  // threads not started by QThread have none yet
    }
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    Register(dispatcher);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    bool reached = false;
    for (;;) {
        if (stop && stop()) {
            break;
        }
        const qint64 left = deadlineMs - NowMs();
        if (left <= 0) {
            reached = true;
            break;
        }
        timer.start(int(std::min(left, kMaxSliceMs)));
        dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    Unregister(dispatcher);
    return reached;
}

void SystemTimeSource::InterruptWaits() {
    std::lock_guard<std::mutex> lock(mutex);
    for (QAbstractEventDispatcher* dispatcher : waiting) {
        dispatcher->wakeUp();
    }
}

void SystemTimeSource::Register(QAbstractEventDispatcher* dispatcher) {
    std::lock_guard<std::mutex> lock(mutex);
    waiting.push_back(dispatcher);
}

void SystemTimeSource::Unregister(QAbstractEventDispatcher* dispatcher) {
    std::lock_guard<std::mutex> lock(mutex);
    waiting.erase(std::find(waiting.begin(), waiting.end(), dispatcher));
}
