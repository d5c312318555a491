#include "engine/SilentSink.h"

#include <QIODevice>
#include <algorithm>

namespace {
constexpr qint64 kFrameBytes = 2;        // mono 16-bit: keep reads on whole samples
constexpr qint64 kMaxReadBytes = 16384;  // one read; a late tick reads several
}  // namespace

SilentSink::SilentSink(QIODevice* source, QObject* parent)
    : QObject(parent), source(source), scratch(size_t(kMaxReadBytes)) {
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &SilentSink::Pull);
}

void SilentSink::Start(qint64 bytesPerSecond) {
    rate = std::max<qint64>(bytesPerSecond, 0);
    if (rate == 0) {
        Stop();
        return;
    }
    Resume();
}

void SilentSink::Stop() {
    timer.stop();
    rate = 0;
}

void SilentSink::Suspend() {
    Pull();
    timer.stop();
}

void SilentSink::Resume() {
    if (rate == 0) {
        return;
    }
    pulled = 0;
    clock.start();
    timer.start(kTickMs);
}

void SilentSink::Pull() {
    if (rate == 0 || !clock.isValid()) {
        return;
    }
    const qint64 due = clock.elapsed() * rate / 1000 / kFrameBytes * kFrameBytes;
    while (pulled < due) {
        const qint64 got = source->read(scratch.data(), std::min(due - pulled, kMaxReadBytes));
        if (got <= 0) {
            return;
        }
        pulled += got;
    }
}
