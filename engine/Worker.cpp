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
    finished.store(true);
}

void Worker::Finish(const QString& exitLine) {
    workerThread->exit(0);
    qDebug().noquote() << exitLine;
}

void Worker::delay_ms(qint64 ms) {
    time->WaitFor(ms, [] { return g_bSuspend.load(); });
}
