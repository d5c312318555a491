#pragma once

#include <QtGlobal>
#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "engine/Channels.h"
#include "engine/ClipCutter.h"
#include "engine/DemuxChannel.h"
#include "engine/PacketQueue.h"
#include "engine/QueueInput.h"
#include "engine/Worker.h"

class Controller;

// The demux worker: opens the channel files of the chosen recording, reads
// one packet per channel per cycle (forwards, or backwards one group of
// pictures at a time), and routes video to the channels' packet queues, sound
// of the audio channel to the audio queue, the selected channel's data
// records to the record sinks and its video times to the clock. It honours
// seeks and pushes the stream markers.
class AVIFileRead : public Worker {
    Q_OBJECT
public:
    static constexpr int kChannels = kPlayerChannels;

    AVIFileRead(Controller* controller, TimeSource* time);
    ~AVIFileRead() override;

    // GUI thread: seeks every channel to the key frame at or before ms (a
    // negative target stands for its absolute value), while playing or
    // paused (paused, the sought frame is shown), also after the end.
    void Seek(qint64 ms);

    // The seek request as the main window writes it: seekTarget first, then
    // seekRequest (release); Seek() does both and wakes the worker. Choosing
    // a recording drops the request (on the GUI thread, so a seek made after
    // the choice is kept for the new recording).
    std::atomic<qint64> seekTarget{0};
    std::atomic<bool> seekRequest{false};

    // Demux thread (a queued call from the main window's cut request, after
    // the clip dialog stored its choice): cuts beginMs..endMs of the open
    // recording into clips (see ClipCutter). Playback is not fed meanwhile;
    // GUI seeks and direction changes wait until the cut ends, then playback
    // goes on from where it was. Refused ("Cut Error") while stopped, during
    // another cut, or when no chosen channel is open; a request queued for
    // a recording that has since been replaced is dropped.
    void SetCut(int beginMs, int endMs);

protected:
    void run() override;

private:
    // What a cycle does with the packets it reads.
    enum class Mode { Play, Cut };
    enum class Route { Accepted, Parked, Dropped };
    // The queue that refused a channel's packet (null: a record sink) and
    // its count of entries then.
    struct Park {
        PacketQueue* queue = nullptr;
        int count = 0;
    };

    void Cycle();
    void StopPlayback();
    void OpenRecording(const std::array<QString, kChannels>& paths, int selected);
    void CloseAll();
    bool SeekPending() const;
    void HonourSeek();
    void PlayCycle();
    void WaitForRoom();
    bool Room() const;
    void Parked(int ch);
    bool ServeChannel(int ch, int clockChannel);
    Route RoutePacket(int ch, int clockChannel);
    Route RouteVideo(int ch, int clockChannel, qint64 dtsMs);
    Route RouteAudio(int ch, qint64 dtsMs);
    Route RouteRecord(int ch, qint64 dtsMs);
    Route FromIntake(QueueInput result, int ch, const char* what);
    void AddClockTime(qint64 dtsMs, bool key);
    void ReportClock(int clockChannel);
    void ReportGroupClock(std::vector<qint64>* times, qint64 duration);
    void ForgetClock();
    void EndAll();
    int ClockChannel() const;
    qint64 ScheduleDuration(int clockChannel) const;
    bool PushSchedule(qint64 dts, qint64 value);
    bool Abandon(qint64 marker) const;
    void CutCycle();
    void InterruptCut(const QString& why);
    qint64 PlayPosition() const;

    Controller* const controller;

    // Demux thread only.
    std::array<std::unique_ptr<DemuxChannel>, kChannels> channels;
    Mode mode = Mode::Play;
    bool backward = false;        // latched at an open or a seek
    int selectedIndex = 0;        // of the open recording
    qint64 reverseDuration = 0;   // backward timestamps are this minus the time
    bool packetAccepted = false;  // since the open: seeks wait for it
    bool endSent = true;          // End pushed for the files now open (or none open)
    qint64 clockCandidate = -1;
    qint64 lastReported = -1;
    std::array<QString, kChannels> openFileNames;  // of the open recording
    ClipCutter cutter;
    std::vector<qint64> groupClock;          // backward: the group being read
    std::vector<qint64> completeGroupClock;  // backward: read, not yet reported
    std::array<Park, kChannels> parks;       // valid while a channel's countdown runs
};
