#include "engine/SoundBuffer.h"

#include <algorithm>
#include <cstring>

#include "codec/PcmFormat.h"

SoundBuffer::SoundBuffer() : ring(new char[kCapacity]) {}

qint64 SoundBuffer::DurationMs(qint64 bytes, int sampleRate) {
    if (sampleRate <= 0 || bytes <= 0) {
        return 0;
    }
    return bytes / PcmFormat::kBytesPerSample * 1000 / sampleRate;
}

qint64 SoundBuffer::LockBuf(char** out, qint64 want) {
    *out = nullptr;
    reserved = 0;
    if (!Fits(want)) {
        return 0;
    }
    if (writePos == readPos && full) {
        return 0;
    }
    if (readPos > writePos) {
        *out = ring.get() + writePos;
        reserved = readPos - writePos;
        return reserved;
    }
    if (kCapacity - writePos >= want) {
        wrapSize = kCapacity;
        *out = ring.get() + writePos;
        reserved = want;
        return reserved;
    }
    // A block is never split: wrap early, the valid bytes now end at writePos.
    const qint64 oldWrite = writePos;
    wrapSize = oldWrite;
    writePos = 0;
    *out = ring.get();
    if (readPos == oldWrite) {
        readPos = 0;
        full = false;
        reserved = oldWrite;
        return reserved;
    }
    if (readPos == 0) {
        full = true;
        *out = nullptr;
        return 0;
    }
    reserved = readPos;
    return reserved;
}

void SoundBuffer::UnlockBuf(qint64 n) {
    n = std::min(n, reserved);
    reserved = 0;
    if (n <= 0) {
        return;
    }
    if (GetBufDataLen() == 0) {
        soundArrived.store(true);
    }
    writePos = (writePos + n) % wrapSize;
    if (writePos == readPos) {
        full = true;
    }
}

qint64 SoundBuffer::OutputData(char* data, qint64 n) {
    if ((writePos == readPos && !full) || !data || n <= 0) {
        return 0;
    }
    qint64 copied = 0;
    if (writePos <= readPos) {
        const qint64 first = std::min(n, wrapSize - readPos);
        std::memcpy(data, ring.get() + readPos, size_t(first));
        copied = first;
        readPos += first;
        if (readPos == wrapSize) {
            // Reaching the wrap point moves to the start, or a full ring
            // written afterwards would look empty.
            readPos = 0;
            const qint64 second = std::min(n - copied, writePos);
            std::memcpy(data + copied, ring.get(), size_t(second));
            copied += second;
            readPos = second;
        }
    } else {
        copied = std::min(writePos - readPos, n);
        std::memcpy(data, ring.get() + readPos, size_t(copied));
        readPos += copied;
    }
    if (readPos == writePos) {
        full = false;
    }
    return copied;
}

qint64 SoundBuffer::GetBufDataLen() const {
    if (writePos > readPos) {
        return writePos - readPos;
    }
    if (writePos < readPos) {
        return writePos - readPos + wrapSize;
    }
    return full ? wrapSize : 0;
}

void SoundBuffer::SeekBufDataLen(qint64 n) {
    if (n <= 0) {
        return;
    }
    if (n >= GetBufDataLen()) {
        readPos = writePos;
        full = false;
        return;
    }
    readPos = (readPos + n) % wrapSize;
    full = false;
}

void SoundBuffer::Clear() {
    writePos = 0;
    readPos = 0;
    full = false;
    wrapSize = kCapacity;
    endDts = 0;
    reserved = 0;
    RaiseReset();
}

void SoundBuffer::SetReaderRunning(bool on) {
    readerRunning.store(on);
    AfterRead();
}

void SoundBuffer::AfterRead() {
    if (roomListener) {
        roomListener();
    }
}

void SoundBuffer::AfterWrite() {
    if (soundArrived.exchange(false) && soundListener) {
        soundListener();
    }
}
