#include "engine/AudioReopen.h"

#include <QSemaphore>
#include <QThread>
#include <memory>

#include "engine/AudioCtrl.h"
#include "engine/Controller.h"
#include "engine/Suspend.h"

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
    // Shared with the queued call, which may run after the requester gave up.
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        this,
        [this, rate, done] {
            if (!g_bSuspend.load()) {  // the requester gave up: the output stays closed
                Open(rate);
            }
            done->release();
        },
        Qt::QueuedConnection);
    while (!done->tryAcquire(1, kWaitStepMs)) {
        if (g_bSuspend.load()) {
            return false;
        }
    }
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
