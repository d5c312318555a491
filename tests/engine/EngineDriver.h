#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Controller.h"

// The real engine, started in this process with no widgets and driven the
// way the main window drives it; it records every picture, time report and
// byte of sound that comes out. One at a time per process (the exit flag is
// process-wide). Pictures are named by their MD5, as in ffmpeg's framemd5.
class EngineDriver {
public:
    static constexpr int kChannels = Controller::kChannels;
    static constexpr int kEmpty = -1;    // a marker emptied the cell
    static constexpr int kUnknown = -2;  // a picture ffmpeg never made

    // md5 (hex) -> index of the picture in display order.
    using PictureIndex = std::map<QByteArray, int>;

    struct Picture {
        qint64 at = 0;   // us since the driver started
        QByteArray md5;  // hex; empty when a marker emptied the cell
        bool Empty() const { return md5.isEmpty(); }
        // The index in `pictures`, kEmpty or kUnknown.
        int In(const PictureIndex& pictures) const;
    };
    struct Report {
        qint64 at = 0;
        qint64 position = 0;  // ms, or a stream marker
        qint64 duration = 0;
    };
    // A recording as the list hands it over: 12 slots, the selected channel.
    struct Recording {
        QVector<QString> paths = QVector<QString>(kChannels);
        int selected = 1;
        std::array<bool, kChannels> readable{};        // a present file that plays
        std::array<PictureIndex, kChannels> pictures;  // ffmpeg's, per readable file
        qint64 durationMs = 0;                         // of the longest channel
        bool sound = false;                            // channel 1 holds sound
    };

    // ffmpeg's pictures of the video stream of path; empty on failure.
    static PictureIndex FfmpegPictures(const std::string& path);

    // The generated fixture recording that starts at `start` (all its
    // channels, or those listed). An empty path list when the fixtures are
    // missing.
    static Recording Fixture(const QString& start, int selected,
                             const std::vector<int>& channels = {});
    // Writes `bytes` bytes of noise (none: an empty file) at path.
    static QString WriteNoise(const std::string& path, int bytes);

    EngineDriver();
    ~EngineDriver();
    EngineDriver(const EngineDriver&) = delete;
    EngineDriver& operator=(const EngineDriver&) = delete;

    Controller& engine() { return *controller; }
    // Microseconds since the driver started.
    qint64 Now() const;
    // Drops what was recorded so far.
    void Forget();

    // The window's commands.
    void Open(const Recording& recording);
    // The forwards or backwards button: pauses when it plays that way, else
    // plays that way; a change of direction re-seeks to the shown position.
    void PressDirection(bool backwards);
    void Play();  // presses the current direction unless it plays already
    void Pause();
    void Step();
    void Unpaced();
    void Stop();
    void Seek(qint64 ms);
    void Speed(int index);

    // Serves this thread's events until done() holds or ms passed; false
    // on the time-out.
    bool WaitFor(const std::function<bool()>& done, qint64 ms);
    void Pump(qint64 ms);

    std::vector<Picture> Pictures(int channel, qint64 from = 0) const;
    std::vector<Report> Reports(qint64 from = 0) const;
    qint64 PcmBytes() const { return pcmBytes.load(); }
    // The position the window would show (0 after a marker).
    qint64 ShownPosition() const { return shownPosition.load(); }
    // Ms that Shutdown took; later calls return the first figure.
    qint64 Shutdown();

private:
    void OnPicture(int channel, const uchar* pixels, int width, int height);
    void OnReport(qint64 position, qint64 duration);

    std::unique_ptr<Controller> controller;
    qint64 startedAt = 0;
    qint64 shutdownMs = -1;
    std::atomic<qint64> pcmBytes{0};
    std::atomic<qint64> shownPosition{0};

    mutable std::mutex mutex;
    // Guarded by mutex.
    std::array<std::vector<Picture>, kChannels> shown;
    std::vector<Report> reports;
};
