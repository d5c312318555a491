#include "engine/AudioCtrl.h"

#include <QAudioDeviceInfo>
#include <QAudioOutput>
#include <algorithm>

#include "codec/PcmFormat.h"
#include "engine/QueueLock.h"
#include "engine/Sleeper.h"
#include "engine/SoundBuffer.h"

namespace {
constexpr unsigned long kSwitchPauseMs = 10;

// What the ring holds: mono signed 16-bit little-endian PCM at a real rate.
bool Playable(const QAudioFormat& f) {
    return f.sampleRate() > 0 && f.channelCount() == 1 &&
           f.sampleSize() == PcmFormat::kSampleBits && f.sampleType() == QAudioFormat::SignedInt &&
           f.byteOrder() == QAudioFormat::LittleEndian;
}
}  // namespace

AudioCtrl::AudioCtrl(SoundBuffer* buffer, QObject* parent)
    : QObject(parent), buffer(buffer), device(buffer), sink(&device, [buffer] {
          QueueLock<SoundBuffer> lock(*buffer);
          return buffer->GetBufDataLen() > 0;
      }) {
    connect(&timer, &QTimer::timeout, this, &AudioCtrl::checkDevice);
    // The writer's thread tells the idle sink, which lives here, that sound
    // came. A queued signal: its connection is made here, so the writer's
    // thread builds no call object that this thread then reads.
    connect(this, &AudioCtrl::Signal_soundCame, &sink, &SilentSink::Wake, Qt::QueuedConnection);
    buffer->SetSoundListener([this] { emit Signal_soundCame(); });
}

AudioCtrl::~AudioCtrl() {
    Close();
    buffer->SetSoundListener({});
}

QAudioFormat AudioCtrl::SetFormat(int sampleRate, int channelCount, int sampleSize,
                                  const QString& codec, QAudioFormat::Endian byteOrder,
                                  QAudioFormat::SampleType sampleType) {
    QAudioFormat wanted;
    wanted.setSampleRate(sampleRate);
    wanted.setChannelCount(channelCount);
    wanted.setSampleSize(sampleSize);
    wanted.setCodec(codec);
    wanted.setByteOrder(byteOrder);
    wanted.setSampleType(sampleType);
    const QAudioDeviceInfo info = QAudioDeviceInfo::defaultOutputDevice();
    deviceName = info.deviceName();
    format = wanted;
    silentOnly = false;
    if (info.isNull() || info.isFormatSupported(wanted)) {
        return format;
    }
    const QAudioFormat nearest = info.nearestFormat(wanted);
    if (Playable(nearest)) {
        format = nearest;
    } else {
        silentOnly = true;
    }
    return format;
}

void AudioCtrl::Start() {
    timer.stop();
    watching = false;
    TearDown();
    device.open(QIODevice::ReadOnly);
    if (!StartOutput()) {
        sink.Start(qint64(format.sampleRate()) * PcmFormat::kBytesPerSample);
        if (suspended) {
            sink.Suspend();
        }
    }
    // Only now: a re-created output never looks like none to the writer.
    buffer->SetReaderRunning(output || sink.IsActive());
    // The watch runs after a failed start too, so a device that appears is used.
    watching = true;
    timer.start(kWatchMs);
}

bool AudioCtrl::StartOutput() {
    const QAudioDeviceInfo info = QAudioDeviceInfo::defaultOutputDevice();
    deviceName = info.deviceName();
    if (silentOnly || info.isNull()) {
        return false;
    }
    output = std::make_unique<QAudioOutput>(info, format);
    ApplyVolume();
    output->start(&device);
    if (output->state() == QAudio::StoppedState) {
        output.reset();
        return false;
    }
    if (suspended) {
        output->suspend();
    }
    return true;
}

void AudioCtrl::Close() {
    timer.stop();
    watching = false;
    buffer->SetReaderRunning(false);
    TearDown();
    QueueLock<SoundBuffer> lock(*buffer);
    buffer->SeekBufDataLen(buffer->GetBufDataLen());
}

void AudioCtrl::TearDown() {
    if (output) {
        output->stop();
        output.reset();
    }
    sink.Stop();
    device.close();
}

void AudioCtrl::SetVolume(int value) {
    volume = std::clamp(value, 0, 100);
    ApplyVolume();
}

void AudioCtrl::ApplyVolume() {
    if (output) {
        output->setVolume(QAudio::convertVolume(volume / qreal(100), QAudio::LogarithmicVolumeScale,
                                                QAudio::LinearVolumeScale));
    }
}

void AudioCtrl::Suspend() {
    suspended = true;
    if (output) {
        output->suspend();
    }
    sink.Suspend();
}

void AudioCtrl::Resume() {
    suspended = false;
    if (output) {
        output->resume();
    }
    sink.Resume();
}

qint64 AudioCtrl::GetCurrentDts() {
    QueueLock<SoundBuffer> lock(*buffer);
    return buffer->EndDts() - SoundBuffer::DurationMs(buffer->GetBufDataLen(), format.sampleRate());
}

void AudioCtrl::checkDevice() {
    if (!watching) {
        return;
    }
    const QString name = QAudioDeviceInfo::defaultOutputDevice().deviceName();
    if (name == deviceName) {
        return;
    }
    deviceName = name;
    if (output) {
        output->suspend();
    }
    Sleeper::msleep(kSwitchPauseMs);
    Start();
}
