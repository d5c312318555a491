#include "engine/Sleeper.h"

#include <QThread>

#include "engine/SystemTimeSource.h"

void Sleeper::msleep1(int ms) {
    SystemTimeSource::Instance()->WaitFor(ms);
}

void Sleeper::msleep2(int ms) {
    SystemTimeSource::Instance()->WaitFor(ms);
}

void Sleeper::msleep(unsigned long ms) {
    QThread::msleep(ms);
}
