#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <vector>

class QIODevice;

// Stands in for a sound device that is missing or cannot play our format:
// pulls from a source on a timer at the pace a device playing the format
// would, and drops what it reads. So the audio path behaves the same with
// and without hardware. Lives in the thread that owns the output.
class SilentSink : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 20;

    explicit SilentSink(QIODevice* source, QObject* parent = nullptr);

    // Pulls bytesPerSecond from now on (a rate that is not positive pulls
    // nothing).
    void Start(qint64 bytesPerSecond);
    void Stop();
    // Stops pulling and goes on from where it stood.
    void Suspend();
    void Resume();
    bool IsActive() const { return rate > 0; }

private:
    void Pull();

    QIODevice* const source;
    QTimer timer;
    QElapsedTimer clock;  // since Start or Resume
    qint64 rate = 0;      // bytes per second; 0 when stopped
    qint64 pulled = 0;    // bytes read since the clock started
    std::vector<char> scratch;
};
