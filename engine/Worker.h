#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class TimeSource;

// Base of every long-lived worker: an object that owns a thread, moves itself
// into it on Start(), runs one polling loop there until g_bSuspend is raised,
// and is waited for before it goes. Slots queued to the worker run inside its
// waits.
class Worker : public QObject {
    Q_OBJECT
public:
    explicit Worker(TimeSource* time);
    // Waits for the thread. A subclass whose run() uses its own members calls
    // Wait() in its own destructor first.
    ~Worker() override;

    // Moves the worker into its thread and starts it (once, from the thread
    // the worker lives in).
    void Start();
    // Blocks until run() has returned and the thread has ended; returns at
    // once when the worker was never started.
    void Wait();

protected:
    // The loop; returns only after it has seen g_bSuspend.
    virtual void run() = 0;
    // Called last in run(): logs exitLine. The base ends the thread's event
    // loop when run() returns, so a worker that forgets this still ends.
    void Finish(const QString& exitLine);
    // Waits ms milliseconds on the time source, serving the thread's events;
    // ends early when the exit flag is raised or stop holds. tag: what the
    // wait is for (see TimeSource::Wake).
    void delay_ms(qint64 ms, const std::function<bool()>& stop = {}, const void* tag = nullptr);
    // Waits until stop holds or the exit flag is raised, however long (see
    // TimeSource::WaitForCause).
    void WaitForCause(const std::function<bool()>& stop, const void* tag = nullptr);

    TimeSource* const time;

private:
    void Run();

    // Owned by the thread that built the worker.
    std::unique_ptr<QThread> workerThread;
    // Written by the worker thread when run() returned.
    std::atomic<bool> finished{false};
};
