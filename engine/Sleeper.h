#pragma once

#include <QObject>

// Waits for code that has no time source of its own; all on the system clock.
class Sleeper : public QObject {
    Q_OBJECT
public:
    // Waits ms milliseconds serving the thread's events (0 returns at once);
    // sleeps, does not spin. The event-loop wait of the workers.
    static void msleep1(int ms);
    // The same wait; kept for the callers of the former busy wait.
    static void msleep2(int ms);
    // Blocks the thread for ms milliseconds without serving events.
    static void msleep(unsigned long ms);
};
