#pragma once

#include <QtGlobal>

#include "engine/DTSList.h"
#include "engine/PlayStatus.h"
#include "engine/Worker.h"

class Controller;

// The engine's clock. It takes the selected channel's timestamps from its
// schedule in order, releases each at its time scaled by the speed, publishes
// it in the Controller (clock, lastWait) for the release workers, and reports
// the position. Pacing runs against a deadline, re-based after a marker, a
// reset, a speed change or a resume, so late wake-ups never add up.
class PlayCtrl : public Worker {
    Q_OBJECT
public:
    PlayCtrl(Controller* controller, TimeSource* time);
    ~PlayCtrl() override;

    // Demux thread: queues a timestamp of the selected channel, or a marker,
    // with the selected file's duration; backward when it was read backwards
    // (dts = duration - time). False when the schedule is full (retry later).
    bool SetDTS(qint64 dts, qint64 value, bool backward);
    // Empties the schedule; an entry taken before is never published.
    void Clear();

signals:
    // Position in ms from the start of the file (or the marker) and the
    // selected file's duration. Emitted in the clock thread after the clock
    // was published, outside every lock.
    void Signal_updateTime(qint64 dts, qint64 duration);

protected:
    void run() override;

private:
    // The entry taken from the schedule and not yet released.
    struct Held {
        bool valid = false;
        DTSList::Entry entry;
        quint64 generation = 0;  // of the schedule when it was taken
        bool marker = false;
        bool step = false;   // released by a single-step request
        bool paced = false;  // has a deadline; otherwise released at once
        qint64 wait = 0;     // published as lastWait
        qint64 deadline = 0;
    };
    // The release time of anchor.dts; later entries are due
    // (dts - anchor.dts) x 16 / speed after it.
    struct Anchor {
        qint64 time = 0;
        qint64 dts = 0;
        int speed = 16;
    };

    void RunPass();
    bool TakeEntry();
    void Plan();
    bool Due();
    bool WaitEnds() const;
    bool Queued();
    void DropStale();
    void Release();
    PlayStatus Status() const;
    int Speed() const;

    Controller* const controller;
    // Fed by the demux thread, drained by the clock thread; its own lock.
    DTSList dtsList;

    // Clock thread only.
    Held held;
    qint64 prev = -1;  // last released timestamp; -1: release the next at once
    Anchor anchor;
    bool resumePending = false;  // paused since the anchor was set
};
