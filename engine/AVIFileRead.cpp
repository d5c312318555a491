#include "engine/AVIFileRead.h"

#include <QCoreApplication>
#include <QDebug>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "container/amf.h"
#include "container/avformat.h"
#include "container/error.h"
#include "engine/Controller.h"
#include "engine/DataRecordSink.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/TimeSource.h"

namespace {
constexpr int kIdleWaitMs = 1000;
constexpr qint64 kRetryMs = 2;
constexpr qint64 kRoomWaitMs = 20;
constexpr int kParkCycles = 10;
constexpr int kNormalSpeed = 16;
}  // namespace

AVIFileRead::AVIFileRead(Controller* controller, TimeSource* time)
    : Worker(time), controller(controller) {
    for (int ch = 0; ch < kChannels; ++ch) {
        channels[size_t(ch)].reset(new DemuxChannel(ch));
    }
}

AVIFileRead::~AVIFileRead() {
    Wait();
}

// Stopped, the request only waits for the next recording, which drops it:
// waking the demux would run its stop path again, racing a recording chosen
// right after.
void AVIFileRead::Seek(qint64 ms) {
    seekTarget.store(ms, std::memory_order_relaxed);
    seekRequest.store(true, std::memory_order_release);
    if (controller->playStatus.load() == PlayStatus::Stop) {
        return;
    }
    controller->Raise(Controller::Reader::Demux);
    time->InterruptWaits();
}

void AVIFileRead::run() {
    while (!g_bSuspend.load()) {
        Cycle();
    }
    InterruptCut(QStringLiteral("the player exits"));
    CloseAll();
    Finish(QStringLiteral("Demux exit"));
}

void AVIFileRead::Cycle() {
    if (!controller->WaitForWork(Controller::Reader::Demux, kIdleWaitMs)) {
        QCoreApplication::sendPostedEvents(this);  // a cut may be asked for while idle
        return;
    }
    if (controller->playStatus.load() == PlayStatus::Stop) {
        InterruptCut(QStringLiteral("playback stopped"));
        StopPlayback();
        return;
    }
    Controller::Recording recording;
    if (controller->TakeNewRecording(Controller::Reader::Demux, &recording)) {
        InterruptCut(QStringLiteral("another recording was chosen"));
        OpenRecording(recording.paths, recording.selectedIndex);
        return;
    }
    if (mode == Mode::Play && SeekPending()) {
        HonourSeek();
    }
    switch (mode) {
        case Mode::Play:
            PlayCycle();
            break;
        case Mode::Cut:
            CutCycle();
            break;
    }
    QCoreApplication::sendPostedEvents(this);
}

// Nothing follows the Stop marker until the next recording or seek. A
// recording chosen since the status was read plays; one chosen before the
// stop is dropped.
void AVIFileRead::StopPlayback() {
    Controller::Recording recording;
    if (controller->TakeNewRecording(Controller::Reader::Demux, &recording) &&
        controller->playStatus.load() != PlayStatus::Stop) {
        OpenRecording(recording.paths, recording.selectedIndex);
        return;
    }
    if (!controller->HasGo(Controller::Reader::Demux)) {
        return;
    }
    controller->Clear();
    controller->InputData(StreamMarker::Stop, [this] { return Abandon(StreamMarker::Stop); });
    PushSchedule(StreamMarker::Stop, 0);
    controller->ClearGo(Controller::Reader::Demux);
}

void AVIFileRead::OpenRecording(const std::array<QString, kChannels>& paths, int selected) {
    CloseAll();
    // Cut requests still queued were meant for the recording before.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    openFileNames = paths;
    backward = controller->reverse.load();
    selectedIndex = selected;
    bool any = false;
    for (int ch = 0; ch < kChannels; ++ch) {
        any = channels[size_t(ch)]->Open(paths[size_t(ch)], backward) || any;
    }
    packetAccepted = false;
    ForgetClock();
    controller->Clear();
    if (!any) {
        // Nothing to play: stop, and send no End, which would move the list on.
        qDebug() << "Demux: no file of the recording opens; playback stops";
        controller->InputData(StreamMarker::Stop, [this] { return Abandon(StreamMarker::Stop); });
        PushSchedule(StreamMarker::Stop, 0);
        controller->ClearGo(Controller::Reader::Demux);
        controller->StopUnlessReplaced();
        endSent = true;
        return;
    }
    endSent = false;
    reverseDuration = 0;
    for (const auto& channel : channels) {
        reverseDuration = std::max(reverseDuration, channel->DurationMs());
    }
    controller->InputData(StreamMarker::Open, [this] { return Abandon(StreamMarker::Open); });
    PushSchedule(StreamMarker::Open, reverseDuration);
}

void AVIFileRead::CloseAll() {
    for (auto& channel : channels) {
        channel->Close();
    }
}

// Before the first packet the files are where the open left them; open
// files that ended without one are sought all the same.
bool AVIFileRead::SeekPending() const {
    if (!seekRequest.load(std::memory_order_acquire)) {
        return false;
    }
    if (packetAccepted) {
        return true;
    }
    return endSent && std::any_of(channels.begin(), channels.end(),
                                  [](const auto& channel) { return channel->IsOpen(); });
}

void AVIFileRead::HonourSeek() {
    seekRequest.store(false);
    const qint64 target = std::llabs(seekTarget.load(std::memory_order_relaxed));
    bool sought = false;
    for (auto& channel : channels) {
        sought = channel->Seek(target) || sought;
    }
    if (!sought) {
        return;
    }
    controller->Clear();
    backward = controller->reverse.load();
    ForgetClock();
    endSent = false;
    if (controller->playStatus.load() == PlayStatus::Pause) {
        controller->singleStep.exchange(true);  // show the sought frame
        controller->InterruptWaits();
    }
}

void AVIFileRead::PlayCycle() {
    const int clockChannel = ClockChannel();
    if (clockChannel < 0) {
        EndAll();
        return;
    }
    bool moved = false;
    for (int ch = 0; ch < kChannels && !SeekPending(); ++ch) {
        moved = ServeChannel(ch, clockChannel) || moved;
    }
    ReportClock(clockChannel);
    if (!moved) {
        WaitForRoom();
        for (auto& channel : channels) {
            channel->countdown = std::min(channel->countdown, 0);
        }
    }
}

// Every channel parked or ended: sleep until a queue that refused a packet
// took one, or the user changed something, then offer the parked packets
// again at once. The video decoders announce what they take; the record
// sinks and, while the sound plays, the audio queue are looked at every
// few ms instead.
void AVIFileRead::WaitForRoom() {
    const PlayStatus status = controller->playStatus.load();
    if (status == PlayStatus::Stop) {
        return;  // a stop came during this cycle: the next one runs the stop path
    }
    bool polled = false;
    for (int ch = 0; ch < kChannels; ++ch) {
        const Park& park = parks[size_t(ch)];
        if (channels[size_t(ch)]->countdown < 0) {
            continue;
        }
        polled = polled || !park.queue ||
                 (park.queue == &controller->audioQueue && status == PlayStatus::Play);
    }
    const auto stop = [this, status] { return Room() || controller->playStatus.load() != status; };
    if (polled) {
        delay_ms(kRoomWaitMs, stop, &controller->packetQueues);
    } else {
        WaitForCause(stop, &controller->packetQueues);
    }
}

bool AVIFileRead::Room() const {
    if (SeekPending() || controller->NewRecordingPending(Controller::Reader::Demux)) {
        return true;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        const Park& park = parks[size_t(ch)];
        if (channels[size_t(ch)]->countdown < 0 || !park.queue) {
            continue;
        }
        if (park.queue->IsReset()) {
            return true;
        }
        QueueLock<PacketQueue> lock(*park.queue);
        if (park.queue->Count() < park.count) {
            return true;
        }
    }
    return false;
}

// Remembers the queue that refused channel ch's packet and how full it was.
void AVIFileRead::Parked(int ch) {
    const int type = channels[size_t(ch)]->Last().codecType;
    Park& park = parks[size_t(ch)];
    park.queue = nullptr;
    if (type == container::CODEC_TYPE_VIDEO) {
        park.queue = &controller->packetQueues[size_t(ch)];
    } else if (type == container::CODEC_TYPE_AUDIO) {
        park.queue = &controller->audioQueue;
    }
    if (park.queue) {
        // The consumer may have emptied the queue since it refused: an empty
        // queue has room, or its wake-ups, all gone by now, would be lost.
        QueueLock<PacketQueue> lock(*park.queue);
        park.count = std::max(park.queue->Count(), 1);
    }
}

// One packet of channel ch: the parked one when its time has come, else the
// next read. True when the channel moved on (a packet passed on or dropped,
// or the channel ended); false when it is parked or waits out its park.
bool AVIFileRead::ServeChannel(int ch, int clockChannel) {
    DemuxChannel& channel = *channels[size_t(ch)];
    if (!channel.IsOpen() || channel.ended) {
        return false;
    }
    if (channel.countdown > 0) {
        --channel.countdown;
        return false;
    }
    if (channel.countdown < 0) {
        const int result = channel.Read(backward);
        if (result < 0) {
            qDebug() << "Demux channel" << ch << "ended:" << result;
            channel.ended = true;
            return true;
        }
    }
    channel.countdown = -1;
    switch (RoutePacket(ch, clockChannel)) {
        case Route::Accepted:
            return true;
        case Route::Parked:
            channel.countdown = kParkCycles;
            Parked(ch);
            return false;
        case Route::Dropped:
            return true;  // reading on is progress: a cycle of drops must not sleep
    }
    return false;
}

AVIFileRead::Route AVIFileRead::RoutePacket(int ch, int clockChannel) {
    const DemuxChannel::Packet& p = channels[size_t(ch)]->Last();
    if (p.codecType < 0 || p.dtsMs < 0) {
        return Route::Dropped;
    }
    qint64 dtsMs = p.dtsMs;
    if (backward) {
        dtsMs = reverseDuration - p.dtsMs;
        if (dtsMs < 0) {
            return Route::Dropped;  // beyond the selected file: it would read as a marker
        }
    }
    if (p.codecType == container::CODEC_TYPE_VIDEO) {
        return RouteVideo(ch, clockChannel, dtsMs);
    }
    if (p.codecType == container::CODEC_TYPE_AUDIO) {
        return RouteAudio(ch, p.dtsMs);
    }
    return RouteRecord(ch, dtsMs);
}

AVIFileRead::Route AVIFileRead::RouteVideo(int ch, int clockChannel, qint64 dtsMs) {
    const DemuxChannel::Packet& p = channels[size_t(ch)]->Last();
    PacketInfo info;
    info.type = p.codecId;
    info.key = p.key;
    info.backward = backward;
    info.width = p.width;
    info.height = p.height;
    info.dts = dtsMs;
    const Route route = FromIntake(controller->InputData(ch, info, p.data, p.size), ch, "video");
    if (route == Route::Accepted) {
        packetAccepted = true;
        if (ch == clockChannel) {
            AddClockTime(dtsMs, p.key);
        }
    }
    return route;
}

AVIFileRead::Route AVIFileRead::RouteAudio(int ch, qint64 dtsMs) {
    const bool audible = ch == controller->audioChannel && !backward &&
                         !controller->unpaced.load() && !controller->singleStep.load() &&
                         controller->speed.load() == kNormalSpeed &&
                         controller->audioDecoding.load();
    if (!audible) {
        return Route::Dropped;
    }
    const DemuxChannel::Packet& p = channels[size_t(ch)]->Last();
    PacketInfo info;
    info.type = p.codecId;
    info.key = p.key;
    info.dts = dtsMs;
    info.audio = DemuxChannel::AudioInfo(p.stream);
    if (controller->audioReopen.NeedsReopen(info.audio.sampleRate)) {
        controller->ChangeFreqHz(info.audio.sampleRate);
    }
    const Route route = FromIntake(controller->InputAudioData(info, p.data, p.size), ch, "audio");
    if (route == Route::Accepted) {
        packetAccepted = true;
    }
    return route;
}

AVIFileRead::Route AVIFileRead::RouteRecord(int ch, qint64 dtsMs) {
    const DemuxChannel::Packet& p = channels[size_t(ch)]->Last();
    int nameLength = 0;
    if (ch != selectedIndex || !container::data_record_name(p.data, p.size, &nameLength)) {
        return Route::Dropped;
    }
    const QByteArray name(
        reinterpret_cast<const char*>(p.data) + container::DATA_RECORD_NAME_OFFSET, nameLength);
    DataRecordSink* gps = nullptr;
    DataRecordSink* gsensor = nullptr;
    controller->RecordSinks(&gps, &gsensor);
    const auto offer = [&](DataRecordSink* sink) {
        return !sink || sink->InputData(dtsMs, p.data, p.size);
    };
    bool accepted = false;
    if (name == "GPS") {
        accepted = offer(gps) && offer(gsensor);
    } else if (name == "GSensor" || name == "otherSensors") {
        accepted = offer(gsensor);
    } else {
        return Route::Dropped;
    }
    packetAccepted = packetAccepted || accepted;
    return accepted ? Route::Accepted : Route::Parked;
}

AVIFileRead::Route AVIFileRead::FromIntake(QueueInput result, int ch, const char* what) {
    switch (result) {
        case QueueInput::Accepted:
            return Route::Accepted;
        case QueueInput::Full:
            return Route::Parked;
        case QueueInput::Refused:
            break;
    }
    qDebug() << "Demux channel" << ch << "dropped an oversize" << what << "packet of"
             << channels[size_t(ch)]->Last().size << "bytes";
    return Route::Dropped;
}

// Backwards a group arrives key frame first, newest time last: its times go
// to the clock together, earliest first, once the group is complete.
void AVIFileRead::AddClockTime(qint64 dtsMs, bool key) {
    if (!backward) {
        clockCandidate = dtsMs;
        return;
    }
    if (key) {
        groupClock.swap(completeGroupClock);
        groupClock.clear();
    }
    groupClock.push_back(dtsMs);
}

void AVIFileRead::ReportClock(int clockChannel) {
    const qint64 duration = ScheduleDuration(clockChannel);
    if (backward) {
        ReportGroupClock(&completeGroupClock, duration);
        return;
    }
    // When the clock channel ends, the next one may still be behind it: its
    // earlier times would sort before entries not yet released (a step
    // would release one the pictures already passed).
    if (clockCandidate < 0 || clockCandidate <= lastReported) {
        return;
    }
    if (PushSchedule(clockCandidate, duration)) {
        lastReported = clockCandidate;
    }
}

void AVIFileRead::ReportGroupClock(std::vector<qint64>* times, qint64 duration) {
    std::sort(times->begin(), times->end());
    size_t pushed = 0;
    while (pushed < times->size() && PushSchedule((*times)[pushed], duration)) {
        ++pushed;
    }
    times->erase(times->begin(), times->begin() + long(pushed));
}

void AVIFileRead::ForgetClock() {
    clockCandidate = lastReported = -1;
    groupClock.clear();
    completeGroupClock.clear();
}

void AVIFileRead::EndAll() {
    if (!endSent) {
        ReportGroupClock(&completeGroupClock, reverseDuration);
        ReportGroupClock(&groupClock, reverseDuration);
        const auto abandon = [this] { return Abandon(StreamMarker::End); };
        // The audio queue first: a later retry after a failure pushes it again,
        // which only drains a drained decoder.
        const bool pushed =
            controller->InputAudioEnd(abandon) && controller->InputData(StreamMarker::End, abandon);
        if (!pushed || !PushSchedule(StreamMarker::End, 0)) {
            return;  // tried again next cycle unless a seek or a stop came
        }
        endSent = true;
    }
    controller->ClearGo(Controller::Reader::Demux);
    // A seek that raised go just before it was cleared is not lost.
    if (seekRequest.load(std::memory_order_acquire)) {
        controller->Raise(Controller::Reader::Demux);
    }
}

// The selected channel, or the lowest one still reading when it is absent
// or has ended, so playback always reaches its end. Backwards every channel
// ends at the start of the files, but only the longest ones begin at the
// reversal's 0: the clock follows one of them, so that no channel's
// pictures wait for a clock that has not reached them.
int AVIFileRead::ClockChannel() const {
    const auto reading = [this](int ch) {
        const DemuxChannel& c = *channels[size_t(ch)];
        return c.IsOpen() && !c.ended && (!backward || c.DurationMs() == reverseDuration);
    };
    if (reading(selectedIndex)) {
        return selectedIndex;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        if (reading(ch)) {
            return ch;
        }
    }
    for (int ch = 0; ch < kChannels; ++ch) {
        if (channels[size_t(ch)]->IsOpen() && !channels[size_t(ch)]->ended) {
            return ch;
        }
    }
    return -1;
}

qint64 AVIFileRead::ScheduleDuration(int clockChannel) const {
    return backward ? reverseDuration : channels[size_t(clockChannel)]->DurationMs();
}

bool AVIFileRead::PushSchedule(qint64 dts, qint64 value) {
    while (!controller->playCtrl.SetDTS(dts, value, backward)) {
        if (Abandon(dts)) {
            return false;
        }
        delay_ms(kRetryMs, [this, dts] { return Abandon(dts); });
    }
    return true;
}

// A push that waits for room gives up when what it belongs to is over.
bool AVIFileRead::Abandon(qint64 marker) const {
    if (g_bSuspend.load() || controller->NewRecordingPending(Controller::Reader::Demux)) {
        return true;
    }
    if (marker == StreamMarker::Stop || marker == StreamMarker::Open) {
        return false;
    }
    return controller->playStatus.load() == PlayStatus::Stop || SeekPending();
}

void AVIFileRead::SetCut(int beginMs, int endMs) {
    if (mode == Mode::Cut) {
        qDebug() << "Cut Error: a cut is running";
        return;
    }
    if (controller->NewRecordingPending(Controller::Reader::Demux)) {
        qDebug() << "Cut dropped: another recording was chosen";
        return;
    }
    if (controller->playStatus.load() == PlayStatus::Stop) {
        qDebug() << "Cut Error: playback is stopped";
        return;
    }
    std::array<bool, kChannels> open{};
    for (int ch = 0; ch < kChannels; ++ch) {
        open[size_t(ch)] = channels[size_t(ch)]->IsOpen();
    }
    if (cutter.Start(ClipCutter::FromSettings(beginMs, endMs), openFileNames, open) == 0) {
        return;
    }
    mode = Mode::Cut;
    controller->Raise(Controller::Reader::Demux);
}

void AVIFileRead::CutCycle() {
    if (cutter.Step()) {
        return;
    }
    mode = Mode::Play;
    // Back to where the user was, in the user's direction now; a seek asked
    // for during the cut wins.
    packetAccepted = true;
    if (!seekRequest.load(std::memory_order_acquire)) {
        seekTarget.store(PlayPosition(), std::memory_order_relaxed);
        seekRequest.store(true, std::memory_order_release);
    }
}

void AVIFileRead::InterruptCut(const QString& why) {
    if (mode != Mode::Cut) {
        return;
    }
    cutter.Interrupt(why);
    mode = Mode::Play;
}

// File ms of the picture on show (the queues kept playing out during the
// cut), else of the last one read.
qint64 AVIFileRead::PlayPosition() const {
    qint64 shown = controller->clock.load();
    if (shown <= 0) {
        shown = lastReported;
    }
    if (shown < 0) {
        return backward ? reverseDuration : 0;
    }
    return backward ? reverseDuration - shown : shown;
}
