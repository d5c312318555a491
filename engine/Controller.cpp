#include "engine/Controller.h"

#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <chrono>

#include "engine/QueueLock.h"
#include "engine/Suspend.h"

namespace {
constexpr int kRetryMs = 2;
constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32, 64, 128, 256};
constexpr int kSpeedCount = int(sizeof(kSpeeds) / sizeof(kSpeeds[0]));
const char* const kStartTimeFormat = "yyyyMMddHHmmss";

// Start time from the first "_" field of the file name, whatever the separators.
QDateTime StartTimeOf(const QString& path) {
    const QString name = path.split('\\').last().split('/').last().split('_').first();
    return QDateTime::fromString(name, QString::fromLatin1(kStartTimeFormat));
}
}  // namespace

Controller* Controller::GetInstance() {
    static Controller instance;
    return &instance;
}

Controller::Controller(TimeSource* time)
    : time(time),
      playCtrl(this, time),
      audioDecoderCtrl(this, &soundBuffer, &audioQueue, time),
      audioCtrl(&soundBuffer),
      audioReopen(&audioCtrl, this) {
    qRegisterMetaType<PlayStatus>("PlayStatus");
    qRegisterMetaType<uchar*>("uchar*");
    const QStringList pictures =
        QStandardPaths::standardLocations(QStandardPaths::PicturesLocation);
    snapshotFolder = (pictures.isEmpty() ? QString() : pictures.first()) + "/OrdavexSnap/";
}

Controller::~Controller() {
    Shutdown();
}

void Controller::Start() {
    playCtrl.Start();
}

void Controller::Shutdown() {
    if (shutDown.exchange(true)) {
        return;
    }
    g_bSuspend.store(true);
    for (Reader reader : {Reader::Demux, Reader::Gps}) {
        RequestFlags flags = Flags(reader);
        std::lock_guard<std::mutex> lock(flags.mutex);
        flags.condition.notify_all();
    }
    time->InterruptWaits();
    playCtrl.Wait();
}

void Controller::On_PlayAVI(const QVector<QString>& paths, int channel) {
    if (channel < 1 || channel > kChannels) {
        channel = 1;
    }
    QDateTime start;
    {
        std::lock_guard<std::mutex> lock(fileMutex);
        for (int i = 0; i < kChannels; ++i) {
            filePaths[i] = i < paths.size() ? paths[i] : QString();
        }
        selectedIndex = channel - 1;
        startTime = StartTimeOf(filePaths[selectedIndex]);
        start = startTime;
    }
    emit Signal_startTimeChange(start);
    SetStatus(PlayStatus::Play);
    {
        std::lock_guard<std::mutex> lock(fileMutex);
        demuxNewFile.store(true);
        gpsNewFile.store(true);
    }
    Raise(Reader::Gps);
    Raise(Reader::Demux);
}

void Controller::On_Stop() {
    SetStatus(PlayStatus::Stop);
}

QDateTime Controller::GetStartTime() {
    std::lock_guard<std::mutex> lock(fileMutex);
    return startTime;
}

void Controller::SetPlayBack(bool on) {
    trackPlayback.store(on);
}

void Controller::SpeedChange(int index) {
    speed.store(kSpeeds[std::clamp(index, 0, kSpeedCount - 1)]);
    InterruptWaits();
}

bool Controller::InputData(qint64 marker) {
    for (PacketQueue& queue : packetQueues) {
        for (;;) {
            QueueInput result;
            {
                QueueLock<PacketQueue> lock(queue);
                result = queue.InputData(0, marker, nullptr, 0, 0, 0);
            }
            if (result == QueueInput::Accepted) {
                break;
            }
            // The consumer has ended once the exit flag is up: it will not drain.
            if (g_bSuspend.load()) {
                return false;
            }
            time->WaitFor(kRetryMs, [] { return g_bSuspend.load(); });
        }
    }
    return true;
}

QueueInput Controller::InputData(int channel, int type, qint64 dts, const unsigned char* data,
                                 int size, int width, int height) {
    if (channel < 0 || channel >= kChannels) {
        return QueueInput::Refused;
    }
    PacketQueue& queue = packetQueues[channel];
    QueueLock<PacketQueue> lock(queue);
    return queue.InputData(type, dts, data, size, width, height);
}

QueueInput Controller::InputAudioData(int type, qint64 dts, const unsigned char* data, int size) {
    QueueLock<PacketQueue> lock(audioQueue);
    return audioQueue.InputData(type, dts, data, size, 0, 0);
}

bool Controller::TakeNewRecording(Reader reader, Recording* out) {
    std::lock_guard<std::mutex> lock(fileMutex);
    if (!Flags(reader).newFile.exchange(false)) {
        return false;
    }
    out->paths = filePaths;
    out->selectedIndex = selectedIndex;
    out->startTime = startTime;
    return true;
}

bool Controller::WaitForWork(Reader reader, int timeoutMs) {
    RequestFlags flags = Flags(reader);
    std::unique_lock<std::mutex> lock(flags.mutex);
    const auto hasWork = [&] { return flags.go || flags.newFile.load(); };
    flags.condition.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return hasWork() || g_bSuspend.load(); });
    return hasWork();
}

void Controller::ClearGo(Reader reader) {
    RequestFlags flags = Flags(reader);
    std::lock_guard<std::mutex> lock(flags.mutex);
    flags.go = false;
}

bool Controller::HasGo(Reader reader) {
    RequestFlags flags = Flags(reader);
    std::lock_guard<std::mutex> lock(flags.mutex);
    return flags.go;
}

QAudioFormat Controller::AudioFormat() const {
    QAudioFormat format = PcmFormat(audioSampleRate.load());
    format.setChannelCount(audioChannelCount.load());
    format.setSampleSize(audioSampleSize.load());
    format.setSampleType(audioSampleType.load());
    format.setByteOrder(audioByteOrder.load());
    return format;
}

void Controller::SetAudioFormat(const QAudioFormat& granted, const QAudioFormat& requested) {
    const QAudioFormat& format = granted.isValid() ? granted : requested;
    if (!format.isValid()) {
        return;
    }
    audioSampleRate.store(format.sampleRate());
    audioChannelCount.store(format.channelCount());
    audioSampleSize.store(format.sampleSize());
    audioSampleType.store(format.sampleType());
    audioByteOrder.store(format.byteOrder());
}

QAudioFormat Controller::PcmFormat(int sampleRate) {
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    return format;
}

void Controller::ChangeFreqHz(int rate) {
    audioReopen.Request(rate);
}

void Controller::InterruptWaits() {
    time->InterruptWaits();
}

Controller::RequestFlags Controller::Flags(Reader reader) {
    if (reader == Reader::Demux) {
        return RequestFlags{demuxMutex, demuxCondition, demuxGo, demuxNewFile};
    }
    return RequestFlags{gpsMutex, gpsCondition, gpsGo, gpsNewFile};
}

void Controller::Raise(Reader reader) {
    RequestFlags flags = Flags(reader);
    std::lock_guard<std::mutex> lock(flags.mutex);
    flags.go = true;
    flags.condition.notify_all();
}

void Controller::SetStatus(PlayStatus status) {
    playStatus.store(status);
    InterruptWaits();
    emit Signal_playStatusChange(status);
}
