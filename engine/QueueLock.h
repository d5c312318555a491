#pragma once

// Holds a queue's Lock() for one scope.
template <typename Queue>
class QueueLock {
public:
    explicit QueueLock(Queue& q) : queue(q) { queue.Lock(); }
    ~QueueLock() { queue.Unlock(); }
    QueueLock(const QueueLock&) = delete;
    QueueLock& operator=(const QueueLock&) = delete;

private:
    Queue& queue;
};
