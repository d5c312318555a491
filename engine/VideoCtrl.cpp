#include "engine/VideoCtrl.h"

#include <QDebug>
#include <QMetaMethod>

#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/TimeSource.h"

namespace {
// Waits end on their cause (a frame, the clock, the receiver, a reset,
// exit), which every change wakes; this only bounds a wait nobody wakes.
constexpr qint64 kUntilWokenMs = 3600 * 1000;
}  // namespace

VideoCtrl::VideoCtrl(Controller* controller, int channel, TimeSource* time)
    : Worker(time),
      controller(controller),
      frameQueue(&controller->frameQueues[size_t(channel)]),
      packetQueue(&controller->packetQueues[size_t(channel)]),
      channel(channel) {}

VideoCtrl::~VideoCtrl() {
    Wait();
}

void VideoCtrl::FrameConsumed() {
    const int before = posted.fetch_sub(1);
    if (before <= 1) {
        posted.store(0);
    }
    if (before >= kMaxPosted) {
        time->Wake(this);  // the worker waits only at the limit
    }
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
        if (Superseded()) {
            pending = -1;  // the clock may already be the one after the Clear
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
    bool roomWanted = false;
    qint64 dts = -1;
    {
        QueueLock<FrameQueue> lock(*frameQueue);
        reset = frameQueue->TakeReset();
        got = frameQueue->OutputFrame(&dts, &frame, &width, &height);
        roomWanted = got && frameQueue->TakeRoomWanted();
    }
    if (reset) {
        lastShown = -1;  // the pending frame is dropped with the reset
    }
    pending = got ? dts : -1;
    if (!got) {
        delay_ms(
            kUntilWokenMs,
            [this] {
                QueueLock<FrameQueue> lock(*frameQueue);
                return frameQueue->Count() > 0 || frameQueue->IsReset();
            },
            frameQueue);
        return;
    }
    if (roomWanted) {
        time->Wake(frameQueue);  // the decode worker waits for room
    }
    if (StreamMarker::IsMarker(dts)) {
        if (dts == StreamMarker::Open) {
            lastShown = -1;
        }
        pending = -1;
        emit Signal_show(nullptr, 0, 0);
    }
}

// A Clear came that the decode worker has not yet passed on: every frame
// still queued, and the pending one, are of before it. Checked after the clock
// was read: Clear raises the packet queue's reset before it resets the clock.
bool VideoCtrl::Superseded() const {
    return frameQueue->IsReset() || packetQueue->IsReset();
}

// The clock announces every release, so this sleeps until it moves.
void VideoCtrl::WaitForClock() {
    delay_ms(
        kUntilWokenMs,
        [this] { return controller->clock.load() >= pending || frameQueue->IsReset(); },
        &controller->clock);
}

// Back-pressure: a receiver that falls behind makes this worker wait rather
// than heap frames up in its event queue.
bool VideoCtrl::WaitForReceiver() {
    if (posted.load() < kMaxPosted) {
        return true;
    }
    delay_ms(
        kUntilWokenMs, [this] { return posted.load() < kMaxPosted || frameQueue->IsReset(); },
        this);
    return posted.load() < kMaxPosted;
}

bool VideoCtrl::Receiving() const {
    static const QMetaMethod show = QMetaMethod::fromSignal(&VideoCtrl::Signal_show);
    return isSignalConnected(show);
}

// The frame's own block goes to the receiver, which frees it.
void VideoCtrl::Show() {
    if (!Receiving() || !frame.Data()) {
        return;  // nobody would free it; or no pixels (the ring refuses that)
    }
    posted.fetch_add(1);
    emit Signal_show(frame.Detach(), width, height);
}
