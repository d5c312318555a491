#pragma once

#include <QAudioFormat>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/AVIFileRead.h"
#include "engine/AudioCtrl.h"
#include "engine/AudioDecoderCtrl.h"
#include "engine/AudioReopen.h"
#include "engine/Channels.h"
#include "engine/DecodeCtrl.h"
#include "engine/FrameQueue.h"
#include "engine/GPSList.h"
#include "engine/MapType.h"
#include "engine/PacketQueue.h"
#include "engine/PlayCtrl.h"
#include "engine/PlayStatus.h"
#include "engine/QueueInput.h"
#include "engine/SoundBuffer.h"
#include "engine/SystemTimeSource.h"
#include "engine/VideoCtrl.h"

class DataRecordSink;
class ScreenCtrl;
class VolumeSlider;
class Widget;

// The playback engine's hub: the shared playback state that the GUI writes and
// the workers poll, the queues between the workers, the transport commands,
// the demux worker's packet intake, and the workers themselves.
class Controller : public QObject {
    Q_OBJECT
public:
    static constexpr int kChannels = kPlayerChannels;

    // The two workers woken when a recording is chosen.
    enum class Reader { Demux, Gps };

    // A chosen recording as a worker copies it when it takes its flag.
    struct Recording {
        std::array<QString, kChannels> paths;  // slot = channel - 1; empty = absent
        int selectedIndex = 0;                 // selected channel - 1
        QDateTime startTime;                   // from the selected file's name
    };

    // The process's instance, created on the first call (from the GUI thread,
    // before any worker runs) and destroyed at exit.
    static Controller* GetInstance();

    // Tests build their own, usually with a virtual time source; time must
    // outlive the controller.
    explicit Controller(TimeSource* time = SystemTimeSource::Instance());
    ~Controller() override;

    // GUI thread: starts the clock, the demux, each channel's decode and
    // release workers, the audio decode worker, then opens the audio output at
    // 8000 Hz (once).
    void Start();
    // Raises the exit flag, wakes every waiting worker, closes the audio output
    // and joins every worker. Call on the GUI thread while the application
    // object still exists; later calls do nothing.
    void Shutdown();
    // paths: the 12 channel slots (missing slots are empty, extra ones ignored);
    // channel: the selected channel, 1 to 12 (others are taken as 1).
    // Also resumes the sound output that a pause suspended.
    void On_PlayAVI(const QVector<QString>& paths, int channel);
    void On_Stop();
    // Demux thread, when no file of the chosen recording opens: stops
    // playback unless another recording was chosen meanwhile (false then).
    bool StopUnlessReplaced();
    // Play to Pause and Pause to Play, suspending and resuming the audio
    // output; other states stay. Both emit the status.
    void On_Pause();
    void On_Play();
    QDateTime GetStartTime();
    void SetPlayBack(bool on);
    // index 0..8 gives 1/16X..16X; outside it is clamped.
    void SpeedChange(int index);

    // Demux thread: pushes a marker into the 12 video packet queues, waiting
    // while one is full. False when it gave up: the exit flag rose or abandon
    // (when given) returned true.
    bool InputData(qint64 marker, const std::function<bool()>& abandon = {});
    // Demux thread: offers one video packet (copied) to the channel's queue
    // (channel 0-based); Full: keep it and retry; Refused: drop it.
    QueueInput InputData(int channel, const PacketInfo& info, const unsigned char* data, int size);
    QueueInput InputData(int channel, int type, qint64 dts, const unsigned char* data, int size,
                         int width, int height);
    // Demux thread: the same for the audio queue.
    QueueInput InputAudioData(const PacketInfo& info, const unsigned char* data, int size);
    QueueInput InputAudioData(int type, qint64 dts, const unsigned char* data, int size);
    // Demux thread: pushes the End marker into the audio queue, waiting while
    // it is full; true at once when no audio decode worker runs. False when
    // it gave up (exit flag, or abandon returned true).
    bool InputAudioEnd(const std::function<bool()>& abandon = {});
    // Demux thread: empties the packet queues, the schedule and the record
    // sinks, then zeroes clock and lastWait. The decode workers empty their
    // frame queues when they see the reset.
    void Clear();

    // Telemetry side: where the selected channel's data records go (either
    // may be null: those records are dropped). Set before playback starts.
    void SetRecordSinks(DataRecordSink* gps, DataRecordSink* gsensor);
    void RecordSinks(DataRecordSink** gps, DataRecordSink** gsensor) const;

    // Worker side of the request flags. Takes the reader's new-recording flag
    // and, when it was set, copies the recording into *out.
    bool TakeNewRecording(Reader reader, Recording* out);
    // Sleeps up to timeoutMs while the reader has neither its go flag nor its
    // new-recording flag (or until exit); true when it has work.
    bool WaitForWork(Reader reader, int timeoutMs);
    // Clears the reader's go flag (playback stopped, nothing left to read),
    // unless a new recording waits for the reader.
    void ClearGo(Reader reader);
    bool HasGo(Reader reader);
    // Sets the reader's go flag and wakes it.
    void Raise(Reader reader);
    // Whether a new recording waits for the reader (no lock).
    bool NewRecordingPending(Reader reader);

    // GUI thread, once each, before Start(): the engine's signals to the
    // widgets. Defined with the widgets (app/EngineWiring.cpp), so the
    // engine itself stays free of them.
    // Each channel's frames go to its cell of the wall; the wall is the
    // connection's context, so no frame reaches it once it is gone.
    void ConnectToScreenCtrl(ScreenCtrl* wall);
    // The main window's cut request to the demux worker (queued into its thread).
    void ConnectToWidget(Widget* window);
    // The volume control to the sound output; muting plays at volume 0 and
    // unmuting at the control's current volume.
    void ConnectToAudioCtrl(VolumeSlider* volume);

    // The 12 channel paths of the chosen recording (slot = channel - 1).
    std::array<QString, kChannels> FilePaths();

    // Format of the audio output now in use; never an invalid one.
    QAudioFormat AudioFormat() const;
    int AudioSampleRate() const;
    int AudioSampleSize() const;
    // Publishes the format that the output granted; an invalid one (no sound
    // device) keeps the requested format instead.
    void SetAudioFormat(const QAudioFormat& granted, const QAudioFormat& requested);
    // The format asked of the output: sampleRate Hz, mono, 16-bit signed LE PCM.
    static QAudioFormat PcmFormat(int sampleRate);
    // Demux thread: reopens the audio output at rate on the GUI thread and
    // returns once AudioFormat() holds the new format (or the exit flag rose).
    void ChangeFreqHz(int rate);

    // Makes waiting workers look at the shared state again; call after
    // changing playStatus, speed, unpaced, reverse or singleStep from outside
    // these commands (a worker that waits for its cause sees it only when
    // woken).
    void InterruptWaits();
    TimeSource* Time() const { return time; }

signals:
    void Signal_playStatusChange(PlayStatus status);
    void Signal_startTimeChange(const QDateTime& start);

private:
    TimeSource* const time;

public:
    // Shared state written by the GUI thread and polled by the workers as
    // whole values; the clock thread writes clock and lastWait. No ordering
    // between two of them is relied on.
    const int audioChannel = 0;  // sound always comes from channel 1
    std::atomic<PlayStatus> playStatus{PlayStatus::Stop};
    std::atomic<bool> unpaced{false};
    std::atomic<bool> singleStep{false};  // every write is an exchange
    std::atomic<bool> reverse{false};
    std::atomic<int> speed{16};  // sixteenths of real time
    std::atomic<bool> mapLoaded{false};
    std::atomic<bool> mapOffset{true};
    std::atomic<bool> trackPlayback{true};
    std::atomic<MapType> mapType{MapType::OSMap};
    std::atomic<qint64> clock{0};     // last released timestamp (queue terms)
    std::atomic<qint64> lastWait{0};  // the clock's last pacing wait, ms
    // Raised by the audio decode worker while it runs: sound is routed only then.
    std::atomic<bool> audioDecoding{false};
    // GUI thread only.
    QString snapshotFolder;

private:
    // Format of the audio output, replaced as one value.
    mutable std::mutex audioFormatMutex;
    QAudioFormat audioFormat;
    // The telemetry workers' record inputs.
    std::atomic<DataRecordSink*> gpsSink{nullptr};
    std::atomic<DataRecordSink*> gsensorSink{nullptr};

    // Request flags: go under its own mutex, new-recording flags set and
    // cleared under fileMutex and read lock-free by the idle waits.
    std::mutex demuxMutex;
    std::condition_variable demuxCondition;
    bool demuxGo = false;
    std::mutex gpsMutex;
    std::condition_variable gpsCondition;
    bool gpsGo = false;
    std::mutex fileMutex;
    std::atomic<bool> demuxNewFile{false};
    std::atomic<bool> gpsNewFile{false};
    // Guarded by fileMutex.
    std::array<QString, kChannels> filePaths;
    int selectedIndex = 0;
    QDateTime startTime;

public:
    // Queues: each with its own lock, taken alone.
    std::array<PacketQueue, kChannels> packetQueues;
    std::array<FrameQueue, kChannels> frameQueues;
    PacketQueue audioQueue{PacketQueue::kMaxAudioPacketBytes};
    SoundBuffer soundBuffer;
    GPSList gpsList;

    // Workers, built after the state above and destroyed before it.
    std::array<std::unique_ptr<VideoCtrl>, kChannels> videoCtrls;
    std::array<std::unique_ptr<DecodeCtrl>, kChannels> decodeCtrls;
    PlayCtrl playCtrl;
    AVIFileRead aviFileRead;
    AudioDecoderCtrl audioDecoderCtrl;
    // GUI thread: the sound output and its reopen at a stream's rate.
    AudioCtrl audioCtrl;
    AudioReopen audioReopen;

private:
    struct RequestFlags {
        std::mutex& mutex;
        std::condition_variable& condition;
        bool& go;
        std::atomic<bool>& newFile;
    };
    RequestFlags Flags(Reader reader);
    void SetStatus(PlayStatus status);
    void JoinWorkers();
    QueueInput Offer(PacketQueue& queue, const PacketInfo& info, const unsigned char* data,
                     int size);
    void ClearQueue(PacketQueue& queue);

    std::atomic<bool> started{false};
    std::atomic<bool> shutDown{false};
};
