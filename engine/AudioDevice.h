#pragma once

#include <QIODevice>
#include <functional>

class SoundBuffer;

// Read-only device over the sound buffer that the audio output pulls from.
// An empty buffer yields silence, never an end of data, so the output keeps
// running. It is always opened unbuffered: QIODevice's buffering would ask the
// ring for 16 KiB at a time and play a second of silence when it is short.
class AudioDevice : public QIODevice {
    Q_OBJECT
public:
    explicit AudioDevice(SoundBuffer* buffer, QObject* parent = nullptr);

    // Opens read-only and unbuffered; a write mode is refused.
    bool open(OpenMode mode) override;
    bool isSequential() const override { return true; }
    // Called with the sound taken from the buffer (not the silence), on the
    // reading thread; tools record what plays this way.
    void SetTap(std::function<void(const char*, qint64)> f) { tap = std::move(f); }

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    SoundBuffer* const buffer;
    std::function<void(const char*, qint64)> tap;
};
