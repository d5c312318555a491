#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

class QIODevice;
class TimeSource;

// Stands in for a sound device that is missing or cannot play our format:
// pulls from a source on a timer at the pace a device playing the format
// would, and drops what it reads. So the audio path behaves the same with
// and without hardware. It ticks only while there is sound to play: when the
// source has none left it goes idle until Wake. Lives in the thread that owns
// the output.
class SilentSink : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 20;

    // hasSound tells whether the source holds anything but silence now; the
    // pace is kept on clock's time (the system's when null).
    SilentSink(QIODevice* source, std::function<bool()> hasSound, TimeSource* clock = nullptr,
               QObject* parent = nullptr);

    // Pulls bytesPerSecond from now on (a rate that is not positive pulls
    // nothing).
    void Start(qint64 bytesPerSecond);
    void Stop();
    // Stops pulling and goes on from where it stood.
    void Suspend();
    void Resume();
    // Sound arrived: an idle sink starts pulling again, at the pace from now.
    void Wake();
    bool IsActive() const { return rate > 0; }
    // Whether it is pulling now (active, not suspended, not idle).
    bool IsTicking() const { return timer.isActive(); }

private:
    void Pull();
    void Tick();

    QIODevice* const source;
    const std::function<bool()> hasSound;
    TimeSource* const clock;
    QTimer timer;
    qint64 startMs = 0;  // clock time when the pull (re)started
    qint64 rate = 0;     // bytes per second; 0 when stopped
    qint64 pulled = 0;   // bytes read since the clock started
    bool suspended = false;
    std::vector<char> scratch;
};
