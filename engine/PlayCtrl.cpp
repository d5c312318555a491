#include "engine/PlayCtrl.h"

#include <algorithm>

#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/TimeSource.h"

namespace {
// Keeps gap x 16 far from overflow; no recording spans this.
constexpr qint64 kMaxGapMs = qint64(1) << 40;
// Later than this (a stall of the machine or of the feed), pacing starts
// afresh instead of rushing through the backlog.
constexpr qint64 kMaxLagMs = 200;
constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 256;

// ceil(gap x 16 / speed) for a gap bounded to 0..kMaxGapMs.
qint64 ScaledMs(qint64 gap, int speed) {
    gap = std::clamp<qint64>(gap, 0, kMaxGapMs);
    return (gap * 16 + speed - 1) / speed;
}
}  // namespace

PlayCtrl::PlayCtrl(Controller* controller, TimeSource* time)
    : Worker(time), controller(controller) {}

PlayCtrl::~PlayCtrl() {
    Wait();
}

bool PlayCtrl::SetDTS(qint64 dts, qint64 value, bool backward) {
    bool stored = false;
    {
        QueueLock<DTSList> lock(dtsList);
        stored = dtsList.SetDTS(DTSList::Entry{dts, value, backward});
    }
    if (stored) {
        time->Wake(&dtsList);
    }
    return stored;
}

void PlayCtrl::Clear() {
    {
        QueueLock<DTSList> lock(dtsList);
        dtsList.Clear();
    }
    time->Wake(&dtsList);
    time->InterruptWaits();
}

void PlayCtrl::run() {
    while (!g_bSuspend.load()) {
        RunPass();
    }
    Finish(QStringLiteral("PlayCtrl exit"));
}

void PlayCtrl::RunPass() {
    if (!held.valid && !TakeEntry()) {
        return;
    }
    if (!held.marker && !Due()) {
        return;
    }
    Release();
}

bool PlayCtrl::TakeEntry() {
    if (Status() == PlayStatus::Pause && !controller->singleStep.load()) {
        resumePending = true;
        WaitForCause(
            [this] { return Status() != PlayStatus::Pause || controller->singleStep.load(); });
        return false;
    }
    bool wasReset = false;
    bool got = false;
    {
        QueueLock<DTSList> lock(dtsList);
        wasReset = dtsList.TakeReset();
        got = dtsList.GetDTS(&held.entry);
        held.generation = dtsList.Generation();
    }
    if (wasReset) {
        prev = -1;
    }
    if (!got) {
        WaitForCause([this] { return Queued(); }, &dtsList);
        return false;
    }
    held.valid = true;
    // A step request is used up only by the entry that it releases.
    held.step = controller->singleStep.exchange(false);
    held.marker = StreamMarker::IsMarker(held.entry.dts);
    if (!held.marker) {
        Plan();
    }
    return true;
}

void PlayCtrl::Plan() {
    const qint64 now = time->NowMs();
    const int speed = Speed();
    held.paced = prev >= 0 && !controller->unpaced.load();
    if (!held.paced) {
        held.wait = 0;
        held.deadline = now;
        return;
    }
    held.wait = ScaledMs(held.entry.dts - prev, speed);
    // Paused (a step), resumed or at another speed: pace from now on.
    if (resumePending || Status() == PlayStatus::Pause || speed != anchor.speed) {
        anchor = Anchor{now, prev, speed};
        resumePending = false;
    }
    held.deadline = anchor.time + ScaledMs(held.entry.dts - anchor.dts, anchor.speed);
}

bool PlayCtrl::Due() {
    if (dtsList.Generation() != held.generation) {
        DropStale();
        return false;
    }
    const PlayStatus status = Status();
    if (status == PlayStatus::Stop) {
        // Held until the Clear that follows a stop drops it.
        WaitForCause([this] {
            return dtsList.Generation() != held.generation || Status() != PlayStatus::Stop;
        });
        return false;
    }
    if (status == PlayStatus::Pause && !held.step) {
        resumePending = true;
        if (!controller->singleStep.exchange(false)) {
            WaitForCause([this] {
                return Status() != PlayStatus::Pause || controller->singleStep.load() ||
                       dtsList.Generation() != held.generation;
            });
            return false;
        }
        held.step = true;
    }
    if (controller->unpaced.load()) {
        held.paced = false;
        held.wait = 0;
        return true;
    }
    if (resumePending || (held.paced && Speed() != anchor.speed)) {
        Plan();
    }
    if (!held.paced) {
        return true;
    }
    return time->WaitUntil(held.deadline, [this] { return WaitEnds(); });
}

bool PlayCtrl::WaitEnds() const {
    const PlayStatus status = Status();
    return g_bSuspend.load() || dtsList.Generation() != held.generation ||
           controller->unpaced.load() || status == PlayStatus::Stop ||
           (status == PlayStatus::Pause && !held.step) || Speed() != anchor.speed;
}

bool PlayCtrl::Queued() {
    QueueLock<DTSList> lock(dtsList);
    return dtsList.HasEntry() || dtsList.IsReset();
}

void PlayCtrl::DropStale() {
    held.valid = false;
    if (held.step) {
        controller->singleStep.exchange(true);  // the request was not used
    }
}

void PlayCtrl::Release() {
    const qint64 now = time->NowMs();
    const DTSList::Entry entry = held.entry;
    held.valid = false;
    bool published = false;
    qint64 position = entry.dts;
    {
        QueueLock<DTSList> lock(dtsList);
        if (dtsList.Generation() == held.generation) {
            published = true;
            if (!held.marker) {
                // Never back: a late entry must not hide frames already due
                // (backward groups arrive newest time last).
                const qint64 clock = std::max(controller->clock.load(), entry.dts);
                controller->clock.store(clock);
                controller->lastWait.store(held.wait);
                position = entry.backward ? entry.value - clock : clock;
            }
        }
    }
    if (published) {
        time->Wake(&controller->clock);
        // Outside the lock: a direct receiver may seek or clear.
        emit Signal_updateTime(position, entry.value);
    }
    if (held.marker) {
        prev = -1;
        return;
    }
    if (!published) {
        return;
    }
    prev = entry.dts;
    if (!held.paced || now - held.deadline > kMaxLagMs) {
        anchor = Anchor{now, entry.dts, Speed()};
    }
}

PlayStatus PlayCtrl::Status() const {
    return controller->playStatus.load();
}

int PlayCtrl::Speed() const {
    return std::clamp(controller->speed.load(), kMinSpeed, kMaxSpeed);
}
