#include "engine/Worker.h"

#include <QDebug>

#include "engine/Suspend.h"
#include "engine/TimeSource.h"

Worker::Worker(TimeSource* time) : time(time), workerThread(new QThread) {
    connect(workerThread.get(), &QThread::started, this, &Worker::Run, Qt::DirectConnection);
}

Worker::~Worker() {
    Wait();
}

void Worker::Start() {
    moveToThread(workerThread.get());
    workerThread->start(QThread::InheritPriority);
}

void Worker::Wait() {
    workerThread->wait();
    finished.load();  // pairs with the store at the end of Run()
}

void Worker::Run() {
    run();
    workerThread->exit(0);
    finished.store(true);
}

void Worker::Finish(const QString& exitLine) {
    qDebug().noquote() << exitLine;
}

void Worker::delay_ms(qint64 ms, const std::function<bool()>& stop, const void* tag) {
    time->WaitFor(
        ms, [&stop] { return g_bSuspend.load() || (stop && stop()); }, tag);
}

void Worker::WaitForCause(const std::function<bool()>& stop, const void* tag) {
    time->WaitForCause([&stop] { return g_bSuspend.load() || stop(); }, tag);
}
