#pragma once

#include <array>
#include <atomic>
#include <mutex>

// The ring shared by the packet, frame and record queues: a fixed array of
// slots, a count, two indices, the reset flag and the queue's lock. All calls
// but Lock, Unlock and IsReset are made between the caller's Lock and Unlock.
template <typename Slot, int Capacity>
class SlotRing {
public:
    static constexpr int kCapacity = Capacity;

    void Lock() { mutex.lock(); }
    void Unlock() { mutex.unlock(); }

    bool Full() const { return count >= Capacity; }
    bool Empty() const { return count < 1; }
    int Count() const { return count; }

    Slot& WriteSlot() { return entries[writeIndex]; }
    const Slot& ReadSlot() const { return entries[readIndex]; }
    void Push() {
        writeIndex = Next(writeIndex);
        ++count;
    }
    void Pop() {
        readIndex = Next(readIndex);
        --count;
    }

    // Forgets every entry (slot buffers stay for reuse) and tells the consumer.
    void Clear() {
        count = 0;
        writeIndex = 0;
        readIndex = 0;
        reset.store(true);
    }
    // Consumer: whether a Clear came since the last call; clears the flag. Made
    // under the lock together with the take, so no Clear is missed and no
    // entry stored after one is dropped.
    bool TakeReset() { return reset.exchange(false); }
    // Any thread, without the lock: whether a Clear is waiting to be taken.
    bool IsReset() const { return reset.load(); }

private:
    static int Next(int i) { return i + 1 == Capacity ? 0 : i + 1; }

    std::mutex mutex;
    std::atomic<bool> reset{false};

    // Guarded by mutex.
    std::array<Slot, Capacity> entries{};  // "slots" is taken by Qt
    int count = 0;
    int writeIndex = 0;
    int readIndex = 0;
};
