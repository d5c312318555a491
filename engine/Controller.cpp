#include "engine/Controller.h"

#include <algorithm>
#include <chrono>

#include "codec/PcmFormat.h"
#include "engine/DataRecordSink.h"
#include "engine/DefaultFolders.h"
#include "engine/QueueLock.h"
#include "engine/RecordingName.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {
constexpr int kRetryMs = 2;
constexpr int kStartRate = 8000;  // the output's rate until a stream asks for another
constexpr int kSpeeds[] = {1, 2, 4, 8, 16, 32, 64, 128, 256};
constexpr int kSpeedCount = int(sizeof(kSpeeds) / sizeof(kSpeeds[0]));
}  // namespace

Controller* Controller::GetInstance() {
    static Controller instance;
    return &instance;
}

Controller::Controller(TimeSource* time)
    : time(time),
      audioFormat(PcmFormat(kStartRate)),
      playCtrl(this, time),
      aviFileRead(this, time),
      audioDecoderCtrl(this, &soundBuffer, &audioQueue, time),
      audioCtrl(&soundBuffer),
      audioReopen(&audioCtrl, this) {
    for (int ch = 0; ch < kChannels; ++ch) {
        videoCtrls[size_t(ch)].reset(new VideoCtrl(this, ch, time));
        decodeCtrls[size_t(ch)].reset(new DecodeCtrl(this, ch, time));
    }
    qRegisterMetaType<PlayStatus>("PlayStatus");
    qRegisterMetaType<uchar*>("uchar*");
    snapshotFolder = DefaultFolders::Snapshots();
}

Controller::~Controller() {
    Shutdown();
}

void Controller::Start() {
    if (started.exchange(true)) {
        return;
    }
    playCtrl.Start();
    aviFileRead.Start();
    for (int ch = 0; ch < kChannels; ++ch) {
        decodeCtrls[size_t(ch)]->Start();
        videoCtrls[size_t(ch)]->Start();
    }
    audioDecoderCtrl.Start();
    audioReopen.Open(kStartRate);
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
    audioCtrl.Close();
    JoinWorkers();
}

void Controller::JoinWorkers() {
    playCtrl.Wait();
    aviFileRead.Wait();
    for (int ch = 0; ch < kChannels; ++ch) {
        decodeCtrls[size_t(ch)]->Wait();
        videoCtrls[size_t(ch)]->Wait();
    }
    audioDecoderCtrl.Wait();
}

// The status and the new-recording flags change together under fileMutex,
// so a worker that takes the flag sees Play unless a later Stop came.
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
        startTime = RecordingName::StartOf(filePaths[selectedIndex]);
        start = startTime;
        playStatus.store(PlayStatus::Play);
        aviFileRead.seekRequest.store(false);  // meant for the recording before
        demuxNewFile.store(true);
        gpsNewFile.store(true);
    }
    // Whatever paused the output before, the new recording plays with sound.
    audioCtrl.Resume();
    emit Signal_startTimeChange(start);
    SetStatus(PlayStatus::Play);
    Raise(Reader::Gps);
    Raise(Reader::Demux);
}

bool Controller::StopUnlessReplaced() {
    {
        std::lock_guard<std::mutex> lock(fileMutex);
        if (demuxNewFile.load()) {
            return false;
        }
        playStatus.store(PlayStatus::Stop);
    }
    SetStatus(PlayStatus::Stop);
    return true;
}

// The demux may be idle (every file read): woken, it runs its stop path,
// which empties the queues, so nothing still on its way is shown.
void Controller::On_Stop() {
    const bool wasStopped = playStatus.exchange(PlayStatus::Stop) == PlayStatus::Stop;
    SetStatus(PlayStatus::Stop);
    if (!wasStopped) {
        Raise(Reader::Demux);
    }
}

void Controller::On_Pause() {
    PlayStatus expected = PlayStatus::Play;
    if (playStatus.compare_exchange_strong(expected, PlayStatus::Pause)) {
        audioCtrl.Suspend();
    }
    SetStatus(playStatus.load());
}

void Controller::On_Play() {
    PlayStatus expected = PlayStatus::Pause;
    if (playStatus.compare_exchange_strong(expected, PlayStatus::Play)) {
        audioCtrl.Resume();
    }
    SetStatus(playStatus.load());
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

bool Controller::InputData(qint64 marker, const std::function<bool()>& abandon) {
    // The consumer has ended once the exit flag is up: it will not drain.
    const auto giveUp = [&abandon] { return g_bSuspend.load() || (abandon && abandon()); };
    PacketInfo info;
    info.dts = marker;
    for (PacketQueue& queue : packetQueues) {
        while (Offer(queue, info, nullptr, 0) != QueueInput::Accepted) {
            if (giveUp()) {
                return false;
            }
            time->WaitFor(kRetryMs, giveUp);
        }
    }
    return true;
}

QueueInput Controller::InputData(int channel, const PacketInfo& info, const unsigned char* data,
                                 int size) {
    if (channel < 0 || channel >= kChannels) {
        return QueueInput::Refused;
    }
    return Offer(packetQueues[size_t(channel)], info, data, size);
}

QueueInput Controller::InputData(int channel, int type, qint64 dts, const unsigned char* data,
                                 int size, int width, int height) {
    PacketInfo info;
    info.type = type;
    info.dts = dts;
    info.width = width;
    info.height = height;
    return InputData(channel, info, data, size);
}

QueueInput Controller::InputAudioData(const PacketInfo& info, const unsigned char* data, int size) {
    PacketInfo audio = info;
    audio.width = audio.height = 0;
    return Offer(audioQueue, audio, data, size);
}

QueueInput Controller::InputAudioData(int type, qint64 dts, const unsigned char* data, int size) {
    PacketInfo info;
    info.type = type;
    info.dts = dts;
    return InputAudioData(info, data, size);
}

QueueInput Controller::Offer(PacketQueue& queue, const PacketInfo& info, const unsigned char* data,
                             int size) {
    QueueInput result;
    {
        QueueLock<PacketQueue> lock(queue);
        result = queue.InputData(info, data, size);
    }
    if (result == QueueInput::Accepted) {
        time->Wake(&queue);
    }
    return result;
}

void Controller::Clear() {
    for (PacketQueue& queue : packetQueues) {
        ClearQueue(queue);
    }
    ClearQueue(audioQueue);
    playCtrl.Clear();
    for (DataRecordSink* sink : {gpsSink.load(), gsensorSink.load()}) {
        if (sink) {
            sink->Clear();
        }
    }
    // After the schedule: an entry released meanwhile cannot publish again.
    clock.store(0);
    lastWait.store(0);
    time->InterruptWaits();  // every wait that a reset ends
}

void Controller::ClearQueue(PacketQueue& queue) {
    {
        QueueLock<PacketQueue> lock(queue);
        queue.Clear();
    }
    time->Wake(&queue);
}

void Controller::SetRecordSinks(DataRecordSink* gps, DataRecordSink* gsensor) {
    gpsSink.store(gps);
    gsensorSink.store(gsensor);
}

void Controller::RecordSinks(DataRecordSink** gps, DataRecordSink** gsensor) const {
    *gps = gpsSink.load();
    *gsensor = gsensorSink.load();
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

std::array<QString, Controller::kChannels> Controller::FilePaths() {
    std::lock_guard<std::mutex> lock(fileMutex);
    return filePaths;
}

bool Controller::WaitForWork(Reader reader, int timeoutMs) {
    RequestFlags flags = Flags(reader);
    std::unique_lock<std::mutex> lock(flags.mutex);
    const auto hasWork = [&] { return flags.go || flags.newFile.load(); };
    flags.condition.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return hasWork() || g_bSuspend.load(); });
    return hasWork();
}

// Raise() sets go under the same lock after the new-recording flag, so a
// recording chosen meanwhile keeps its go.
void Controller::ClearGo(Reader reader) {
    RequestFlags flags = Flags(reader);
    std::lock_guard<std::mutex> lock(flags.mutex);
    if (!flags.newFile.load()) {
        flags.go = false;
    }
}

bool Controller::NewRecordingPending(Reader reader) {
    return Flags(reader).newFile.load();
}

bool Controller::HasGo(Reader reader) {
    RequestFlags flags = Flags(reader);
    std::lock_guard<std::mutex> lock(flags.mutex);
    return flags.go;
}

QAudioFormat Controller::AudioFormat() const {
    std::lock_guard<std::mutex> lock(audioFormatMutex);
    return audioFormat;
}

int Controller::AudioSampleRate() const {
    return AudioFormat().sampleRate();
}

int Controller::AudioSampleSize() const {
    return AudioFormat().sampleSize();
}

void Controller::SetAudioFormat(const QAudioFormat& granted, const QAudioFormat& requested) {
    const QAudioFormat& format = granted.isValid() ? granted : requested;
    if (!format.isValid()) {
        return;
    }
    std::lock_guard<std::mutex> lock(audioFormatMutex);
    audioFormat = format;
}

QAudioFormat Controller::PcmFormat(int sampleRate) {
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleSize(PcmFormat::kSampleBits);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    return format;
}

void Controller::ChangeFreqHz(int rate) {
    audioReopen.Request(rate);
}

bool Controller::InputAudioEnd(const std::function<bool()>& abandon) {
    if (!audioDecoding.load()) {
        return true;  // no worker would take it
    }
    const auto giveUp = [&abandon] { return g_bSuspend.load() || (abandon && abandon()); };
    PacketInfo info;
    info.dts = StreamMarker::End;
    while (Offer(audioQueue, info, nullptr, 0) != QueueInput::Accepted) {
        if (giveUp()) {
            return false;
        }
        time->WaitFor(kRetryMs, giveUp);
    }
    return true;
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
