// The sound ring seen from a test standing in for its writer or its reader.
#pragma once

#include <cstring>
#include <vector>

#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"

// Writes bytes of one sample value as one block; false when there is no room.
inline bool WriteRing(SoundBuffer& ring, qint64 bytes, int16_t value = 0) {
    bool fits = false;
    {
        QueueLock<SoundBuffer> lock(ring);
        char* room = nullptr;
        fits = ring.LockBuf(&room, bytes) >= bytes;
        for (qint64 i = 0; fits && i < bytes; i += 2)
            std::memcpy(room + i, &value, 2);
        ring.UnlockBuf(fits ? bytes : 0);
    }
    ring.AfterWrite();
    return fits;
}

// f's result, under the lock of the ring or a queue.
template <typename Q, typename F>
auto WithLock(Q& q, F f) {
    QueueLock<Q> lock(q);
    return f();
}
inline qint64 Buffered(SoundBuffer& ring) {
    return WithLock(ring, [&] { return ring.GetBufDataLen(); });
}
// Appends everything buffered to out.
inline void ReadRing(SoundBuffer& ring, std::vector<unsigned char>* out) {
    char chunk[4096];
    {
        QueueLock<SoundBuffer> lock(ring);
        for (qint64 n; (n = ring.OutputData(chunk, sizeof chunk)) > 0;)
            out->insert(out->end(), chunk, chunk + n);
    }
    ring.AfterRead();
}
