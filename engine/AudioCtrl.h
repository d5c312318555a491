#pragma once

#include <QAudio>
#include <QAudioFormat>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "engine/AudioDevice.h"
#include "engine/SilentSink.h"

class QAudioOutput;
class SoundBuffer;

// The sound output, on the GUI thread: a QAudioOutput on the default device
// pulling PCM from the sound ring, or the silent sink when there is no device
// or the device's format cannot be played. Watches the default device every
// 250 ms and moves to a new one; keeps volume, mute and pause across every
// re-creation. Publishes in the ring whether an output pulls.
class AudioCtrl : public QObject {
    Q_OBJECT
public:
    static constexpr int kWatchMs = 250;

    // buffer must outlive the object.
    explicit AudioCtrl(SoundBuffer* buffer, QObject* parent = nullptr);
    ~AudioCtrl() override;

    // Chooses the format for the next Start and returns it: the requested one
    // when the default device takes it or there is none; else the device's
    // nearest when that is 16-bit mono signed PCM at a positive rate; else the
    // requested one, which then plays on the silent sink until the next
    // SetFormat. The result is always playable by the ring's writer.
    QAudioFormat SetFormat(int sampleRate, int channelCount, int sampleSize, const QString& codec,
                           QAudioFormat::Endian byteOrder, QAudioFormat::SampleType sampleType);
    // (Re)creates the output with the format on the default device (the
    // silent sink when that fails), applies volume and pause, starts the watch.
    void Start();
    // Stops the output and the watch; drops the PCM buffered for this format.
    void Close();
    // volume 0..100 (0 mutes); remembered and applied on every Start.
    void SetVolume(int volume);
    int Volume() const { return volume; }
    // Pause and play; a Start while paused stays paused.
    void Suspend();
    void Resume();
    // Timestamp (ms) of the sound being played now.
    qint64 GetCurrentDts();

    // What plays now: a device output (null when none) or the silent sink.
    QAudioOutput* Output() const { return output.get(); }
    bool Silent() const { return sink.IsActive(); }
    // The sound the output takes from the ring is also handed to tap, on the
    // GUI thread (see AudioDevice::SetTap).
    void SetTap(std::function<void(const char*, qint64)> tap) { device.SetTap(std::move(tap)); }
    QAudioFormat Format() const { return format; }

signals:
    // Sound came into the ring (sent from the writer's thread; the idle
    // silent sink takes it here).
    void Signal_soundCame();

private:
    void checkDevice();
    void TearDown();
    bool StartOutput();
    void ApplyVolume();

    // GUI thread.
    SoundBuffer* const buffer;
    AudioDevice device;
    std::unique_ptr<QAudioOutput> output;
    SilentSink sink;
    QAudioFormat format;
    QTimer timer;        // the device watch
    QString deviceName;  // default device when last started
    bool watching = false;
    bool silentOnly = false;  // the device's format for this rate is unusable
    bool suspended = false;
    int volume = 100;
};
