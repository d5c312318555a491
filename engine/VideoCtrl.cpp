#include "engine/VideoCtrl.h"

#include <QDebug>
#include <QMetaMethod>
#include <cstdlib>
#include <cstring>

#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/TimeSource.h"

namespace {
// Longest sleep of a wait that a wake ends.
constexpr qint64 kIdleMs = 100;
}  // namespace

VideoCtrl::VideoCtrl(Controller* controller, int channel, TimeSource* time)
    : Worker(time),
      controller(controller),
      frameQueue(&controller->frameQueues[size_t(channel)]),
      channel(channel) {}

VideoCtrl::~VideoCtrl() {
    Wait();
}

void VideoCtrl::FrameConsumed() {
    if (posted.fetch_sub(1) <= 1) {
        posted.store(0);
    }
    time->Wake(this);
}

void VideoCtrl::run() {
    while (!g_bSuspend.load()) {
        RunPass();
    }
    Finish(QStringLiteral("Video exit: %1").arg(channel));
}

void VideoCtrl::RunPass() {
    if (pending < 0 || frameQueue->IsReset()) {
        TakeNext();
        return;
    }
    if (pending > controller->clock.load()) {
        WaitForClock();
        return;
    }
    if (pending != lastShown) {
        if (!WaitForReceiver()) {
            return;
        }
        Show();
        lastShown = pending;
    }
    pending = -1;
}

void VideoCtrl::TakeNext() {
    bool reset = false;
    bool got = false;
    qint64 dts = -1;
    {
        QueueLock<FrameQueue> lock(*frameQueue);
        reset = frameQueue->TakeReset();
        got = frameQueue->OutputData(&dts, &frame, &width, &height);
    }
    if (reset) {
        lastShown = -1;  // the pending frame is dropped with the reset
    }
    pending = got ? dts : -1;
    if (!got) {
        delay_ms(
            kIdleMs,
            [this] {
                QueueLock<FrameQueue> lock(*frameQueue);
                return frameQueue->Count() > 0 || frameQueue->IsReset();
            },
            frameQueue);
        return;
    }
    time->Wake(frameQueue);  // room for the decode worker
    if (StreamMarker::IsMarker(dts)) {
        if (dts == StreamMarker::Open) {
            lastShown = -1;
        }
        pending = -1;
        emit Signal_show(nullptr, 0, 0);
    }
}

// The clock announces every release, so this sleeps until it moves.
void VideoCtrl::WaitForClock() {
    delay_ms(
        kIdleMs, [this] { return controller->clock.load() >= pending || frameQueue->IsReset(); },
        &controller->clock);
}

// Back-pressure: a receiver that falls behind makes this worker wait rather
// than heap frames up in its event queue.
bool VideoCtrl::WaitForReceiver() {
    if (posted.load() < kMaxPosted) {
        return true;
    }
    delay_ms(
        kIdleMs, [this] { return posted.load() < kMaxPosted || frameQueue->IsReset(); }, this);
    return posted.load() < kMaxPosted;
}

bool VideoCtrl::Receiving() const {
    static const QMetaMethod show = QMetaMethod::fromSignal(&VideoCtrl::Signal_show);
    return isSignalConnected(show);
}

void VideoCtrl::Show() {
    if (!Receiving()) {
        return;  // nobody would free the copy
    }
    const qint64 bytes = FrameQueue::FrameBytes(width, height);
    auto* copy = static_cast<uchar*>(std::malloc(size_t(bytes > 0 ? bytes : 1)));
    if (!copy) {
        qDebug() << "width:" << width << " height:" << height << " " << double(bytes);
        qDebug() << 1;
        return;
    }
    if (bytes > 0) {
        std::memcpy(copy, frame.data(), size_t(bytes));
    }
    posted.fetch_add(1);
    emit Signal_show(copy, width, height);
}
