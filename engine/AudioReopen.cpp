#include "engine/AudioReopen.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSemaphore>
#include <QThread>
#include <memory>

#include "engine/AudioCtrl.h"
#include "engine/Controller.h"
#include "engine/Suspend.h"

namespace {
// A reopen posted to the GUI thread; the event is freed there, after it ran.
struct RequestEvent : QEvent {
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 112);
    RequestEvent(int rate, std::shared_ptr<QSemaphore> done)
        : QEvent(kType), rate(rate), done(std::move(done)) {}
    const int rate;
    const std::shared_ptr<QSemaphore> done;
};
}  // namespace

AudioReopen::AudioReopen(AudioCtrl* audio, Controller* controller)
    : audio(audio), controller(controller) {}

bool AudioReopen::NeedsReopen(int streamRate) const {
    return streamRate > 0 && streamRate <= kMaxRate && streamRate != requestedRate.load();
}

bool AudioReopen::Request(int rate) {
    requestedRate.store(rate);
    if (QThread::currentThread() == thread()) {
        Open(rate);
        return true;
    }
    // Shared with the posted request, which may run after the requester gave up.
    auto done = std::make_shared<QSemaphore>();
    QCoreApplication::postEvent(this, new RequestEvent(rate, done));
    while (!done->tryAcquire(1, kWaitStepMs)) {
        if (g_bSuspend.load()) {
            return false;
        }
    }
    return true;
}

bool AudioReopen::event(QEvent* e) {
    if (e->type() != RequestEvent::kType) {
        return QObject::event(e);
    }
    const auto* request = static_cast<RequestEvent*>(e);
    if (!g_bSuspend.load()) {  // else the requester gave up: the output stays closed
        Open(request->rate);
    }
    request->done->release();
    return true;
}

void AudioReopen::Open(int rate) {
    requestedRate.store(rate);
    const QAudioFormat wanted = Controller::PcmFormat(rate);
    audio->Close();
    const QAudioFormat granted =
        audio->SetFormat(rate, wanted.channelCount(), wanted.sampleSize(), wanted.codec(),
                         wanted.byteOrder(), wanted.sampleType());
    controller->SetAudioFormat(granted, wanted);
    audio->Start();
    opens.fetch_add(1);
}
