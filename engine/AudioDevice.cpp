#include "engine/AudioDevice.h"

#include <cstring>

#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"

AudioDevice::AudioDevice(SoundBuffer* buffer, QObject* parent)
    : QIODevice(parent), buffer(buffer) {}

bool AudioDevice::open(OpenMode mode) {
    if (mode & WriteOnly) {
        return false;
    }
    return QIODevice::open(ReadOnly | Unbuffered);
}

qint64 AudioDevice::readData(char* data, qint64 maxlen) {
    if (maxlen <= 0) {
        return 0;
    }
    qint64 copied = 0;
    {
        QueueLock<SoundBuffer> lock(*buffer);
        copied = buffer->OutputData(data, maxlen);
    }
    if (copied > 0) {
        buffer->AfterRead();
        if (tap) {
            tap(data, copied);
        }
        return copied;
    }
    std::memset(data, 0, size_t(maxlen));
    return maxlen;
}

qint64 AudioDevice::writeData(const char*, qint64) {
    return 0;
}
