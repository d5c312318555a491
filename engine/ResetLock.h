#pragma once

#include <atomic>
#include <mutex>

// The lock and reset flag every shared engine structure carries. The producer
// raises the flag under the lock when it empties the structure; the consumer
// takes it with its read under the same lock hold, so no Clear goes unseen and
// nothing stored after one is dropped.
class ResetLock {
public:
    void Lock() { mutex.lock(); }
    void Unlock() { mutex.unlock(); }

    // Consumer, with the take: whether a Clear came since the last call.
    bool TakeReset() { return reset.exchange(false); }
    // Any thread, without the lock: whether a Clear is waiting to be taken.
    bool IsReset() const { return reset.load(); }

protected:
    void RaiseReset() { reset.store(true); }

private:
    std::mutex mutex;
    std::atomic<bool> reset{false};
};
