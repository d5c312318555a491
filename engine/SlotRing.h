#pragma once

#include <QtGlobal>
#include <array>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "engine/QueueInput.h"
#include "engine/ResetLock.h"
#include "engine/SlotBuffer.h"

// The ring under the packet, frame and record queues: a fixed array of slots,
// a count and two indices. A Slot has a SlotBuffer `buf` and Bytes(), the
// length of its payload. All calls but Lock, Unlock and IsReset are made
// between the caller's Lock and Unlock.
template <typename Slot, int Capacity>
class SlotRing : public ResetLock {
public:
    static constexpr int kCapacity = Capacity;

    int Count() const { return count; }
    // Payload bytes of the entries stored.
    qint64 QueuedBytes() const { return queuedBytes; }

    // Forgets every entry (slot buffers stay for reuse) and tells the consumer.
    void Clear() {
        count = 0;
        queuedBytes = 0;
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
        const qint64 before = slot.buf.Capacity();
        const QueueInput stored = slot.buf.Store(data, n, maxBytes);
        if (stored != QueueInput::Accepted) {
            return stored;
        }
        allocatedBytes += slot.buf.Capacity() - before;
        fill(slot);
        queuedBytes += slot.Bytes();
        writeIndex = Next(writeIndex);
        ++count;
        return QueueInput::Accepted;
    }

    // Moves *block into the next free slot instead of copying it (the
    // slot's former buffer is freed), then lets fill set the other fields.
    // Full when no slot is free; *block then stays with the caller.
    template <typename Fill>
    QueueInput PutBlock(SlotBuffer* block, Fill fill) {
        if (count >= Capacity) {
            return QueueInput::Full;
        }
        Slot& slot = entries[writeIndex];
        allocatedBytes += block->Capacity() - slot.buf.Capacity();
        slot.buf = std::move(*block);
        fill(slot);
        queuedBytes += slot.Bytes();
        writeIndex = Next(writeIndex);
        ++count;
        return QueueInput::Accepted;
    }

    // Slot buffers beyond this many bytes in all are freed as their entries
    // are taken, so a ring of large entries keeps about what it holds rather
    // than every slot at the largest size it ever saw.
    void KeepAtMost(qint64 bytes) { keepBytes = bytes; }

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
        Consumed();
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
        Consumed();
        return true;
    }

    // Moves the oldest slot's buffer into *block (the slot keeps none) and
    // hands the slot to read. False when empty.
    template <typename Read>
    bool TakeBlock(SlotBuffer* block, Read read) {
        if (count < 1) {
            return false;
        }
        Slot& slot = entries[readIndex];
        read(slot);
        allocatedBytes -= slot.buf.Capacity();
        *block = std::move(slot.buf);
        Consumed();
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

    void Consumed() {
        Slot& slot = entries[readIndex];
        queuedBytes -= slot.Bytes();
        if (allocatedBytes > keepBytes) {
            allocatedBytes -= slot.buf.Capacity();
            slot.buf.Release();
        }
        readIndex = Next(readIndex);
        --count;
    }

    // Guarded by the lock.
    std::array<Slot, Capacity> entries{};  // "slots" is taken by Qt
    qint64 queuedBytes = 0;
    qint64 allocatedBytes = 0;
    qint64 keepBytes = INT64_MAX;
    int count = 0;
    int writeIndex = 0;
    int readIndex = 0;
};
