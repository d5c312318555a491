#include "engine/SilentSink.h"

#include <QIODevice>
#include <algorithm>

#include "engine/SystemTimeSource.h"

namespace {
constexpr qint64 kFrameBytes = 2;        // mono 16-bit: keep reads on whole samples
constexpr qint64 kMaxReadBytes = 16384;  // one read; a late tick reads several
}  // namespace

SilentSink::SilentSink(QIODevice* source, std::function<bool()> hasSound, TimeSource* clock,
                       QObject* parent)
    : QObject(parent),
      source(source),
      hasSound(std::move(hasSound)),
      clock(clock ? clock : SystemTimeSource::Instance()),
      scratch(size_t(kMaxReadBytes)) {
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &SilentSink::Tick);
}

void SilentSink::Start(qint64 bytesPerSecond) {
    rate = std::max<qint64>(bytesPerSecond, 0);
    if (rate == 0) {
        Stop();
        return;
    }
    timer.stop();
    Wake();
}

void SilentSink::Stop() {
    timer.stop();
    rate = 0;
}

void SilentSink::Suspend() {
    Pull();
    timer.stop();
    suspended = true;
}

void SilentSink::Resume() {
    suspended = false;
    Wake();
}

void SilentSink::Wake() {
    if (rate == 0 || suspended || timer.isActive()) {
        return;
    }
    pulled = 0;
    startMs = clock->NowMs();
    timer.start(kTickMs);
}

void SilentSink::Tick() {
    Pull();
    // What was read last was silence: nothing plays until Wake.
    if (!hasSound()) {
        timer.stop();
    }
}

void SilentSink::Pull() {
    if (rate == 0 || !timer.isActive()) {
        return;
    }
    const qint64 due = (clock->NowMs() - startMs) * rate / 1000 / kFrameBytes * kFrameBytes;
    while (pulled < due) {
        const qint64 got = source->read(scratch.data(), std::min(due - pulled, kMaxReadBytes));
        if (got <= 0) {
            return;
        }
        pulled += got;
    }
}
