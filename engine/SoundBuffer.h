#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>

#include "engine/ResetLock.h"

// Byte ring of 16-bit PCM between the audio decode worker (writer) and the
// audio output (reader). The writer reserves one contiguous block, copies into
// it without the lock and commits it; when the block does not fit before the
// end, the writer wraps early and the valid bytes end at wrapSize. Every call
// but IsReset, Fits, the reader-running flag, the listeners and the After
// calls is made between Lock() and Unlock().
class SoundBuffer : public ResetLock {
public:
    static constexpr qint64 kCapacity = 102400;

    SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // Play time of bytes of the ring's PCM (mono 16-bit) at sampleRate Hz, in
    // whole ms; 0 for a rate that is not positive.
    static qint64 DurationMs(qint64 bytes, int sampleRate);

    // Whether a block of want bytes can ever be granted; one that cannot is
    // refused by LockBuf however long the writer waits.
    static bool Fits(qint64 want) { return want > 0 && want <= kCapacity; }
    // Reserves contiguous room for the writer: *out gets its start, the result
    // its length, which may be smaller or larger than want (0: no room now, or
    // never when !Fits(want); then nothing changes). The writer uses it only
    // when it is at least want.
    qint64 LockBuf(char** out, qint64 want);
    // Commits n bytes written at the reserved place; at most what was reserved.
    void UnlockBuf(qint64 n);
    // Copies up to n buffered bytes into data; returns how many (0 when empty).
    qint64 OutputData(char* data, qint64 n);
    qint64 GetBufDataLen() const;
    // Discards up to n buffered bytes.
    void SeekBufDataLen(qint64 n);
    // Empties the ring, forgets the end timestamp and sets the reset flag.
    void Clear();

    // Timestamp (ms) at which the buffered sound ends.
    qint64 EndDts() const { return endDts; }
    void SetEndDts(qint64 dts) { endDts = dts; }

    // Any thread, without the lock: whether an output exists to pull (now or
    // once resumed), however slowly it pulls. The writer drops PCM only while
    // none does, so it never waits on a ring nobody reads. A change wakes a
    // writer waiting for room.
    bool ReaderRunning() const { return readerRunning.load(); }
    void SetReaderRunning(bool on);

    // Set before the writer and the reader start, cleared after they ended:
    // onRoom is called when the reader made room or stopped (reader's thread),
    // onSound when sound was committed to an empty ring (writer's thread).
    void SetRoomListener(std::function<void()> onRoom) { roomListener = std::move(onRoom); }
    void SetSoundListener(std::function<void()> onSound) { soundListener = std::move(onSound); }
    // Without the lock, after the read or the commit: tell the other side.
    void AfterRead();
    void AfterWrite();

private:
    const std::unique_ptr<char[]> ring;
    std::atomic<bool> readerRunning{false};
    std::atomic<bool> soundArrived{false};  // the last commit filled an empty ring
    std::function<void()> roomListener;
    std::function<void()> soundListener;

    // Guarded by the lock.
    qint64 endDts = 0;
    qint64 wrapSize = kCapacity;  // end of the valid bytes
    qint64 writePos = 0;          // 0 <= writePos < wrapSize
    qint64 readPos = 0;           // 0 <= readPos < wrapSize
    bool full = false;            // tells full from empty when the positions meet
    qint64 reserved = 0;          // room granted by the last LockBuf
};
