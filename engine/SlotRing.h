#pragma once

#include <QtGlobal>
#include <array>
#include <new>
#include <vector>

#include "engine/QueueInput.h"
#include "engine/ResetLock.h"

// The ring under the packet, frame and record queues: a fixed array of slots,
// a count and two indices. A Slot has a SlotBuffer `buf` and Bytes(), the
// length of its payload. All calls but Lock, Unlock and IsReset are made
// between the caller's Lock and Unlock.
template <typename Slot, int Capacity>
class SlotRing : public ResetLock {
public:
    static constexpr int kCapacity = Capacity;

    int Count() const { return count; }

    // Forgets every entry (slot buffers stay for reuse) and tells the consumer.
    void Clear() {
        count = 0;
        writeIndex = 0;
        readIndex = 0;
        RaiseReset();
    }

protected:
    // Copies n bytes of data into the next free slot, then lets fill set its
    // other fields. Full when no slot is free; the slot buffer's refusal else.
    template <typename Fill>
    QueueInput Put(const unsigned char* data, qint64 n, qint64 maxBytes, Fill fill) {
        if (count >= Capacity) {
            return QueueInput::Full;
        }
        Slot& slot = entries[writeIndex];
        const QueueInput stored = slot.buf.Store(data, n, maxBytes);
        if (stored != QueueInput::Accepted) {
            return stored;
        }
        fill(slot);
        writeIndex = Next(writeIndex);
        ++count;
        return QueueInput::Accepted;
    }

    // Copies the oldest slot's payload into data (capacity bytes) and hands
    // the slot to read. False when empty or when the payload does not fit
    // (the entry then stays).
    template <typename Read>
    bool Take(unsigned char* data, qint64 capacity, Read read) {
        if (count < 1) {
            return false;
        }
        const Slot& slot = entries[readIndex];
        if (!slot.buf.CopyOut(data, capacity, slot.Bytes())) {
            return false;
        }
        read(slot);
        readIndex = Next(readIndex);
        --count;
        return true;
    }

    // Copies the oldest slot's payload into *data, growing it as needed, and
    // hands the slot to read. False when empty or when *data cannot grow.
    template <typename Read>
    bool TakeInto(std::vector<unsigned char>* data, Read read) {
        if (count < 1) {
            return false;
        }
        const Slot& slot = entries[readIndex];
        const qint64 n = slot.Bytes();
        if (qint64(data->size()) < n) {
            try {
                data->resize(size_t(n));
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        if (!slot.buf.CopyOut(data->data(), qint64(data->size()), n)) {
            return false;
        }
        read(slot);
        readIndex = Next(readIndex);
        --count;
        return true;
    }

    // Stores value through p unless p is null.
    template <typename T>
    static void SetIf(T* p, T value) {
        if (p) {
            *p = value;
        }
    }

private:
    static int Next(int i) { return i + 1 == Capacity ? 0 : i + 1; }

    // Guarded by the lock.
    std::array<Slot, Capacity> entries{};  // "slots" is taken by Qt
    int count = 0;
    int writeIndex = 0;
    int readIndex = 0;
};
