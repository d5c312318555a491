// Plays one recording with the real engine workers and no widgets, and writes
// what came out as JSON on standard output: every frame signal (monotonic ms,
// channel, clock, size, MD5 of the pixels), every time report and status, and
// how long Shutdown took. A watchdog turns a hang into exit code 3.
//
// Action times count from the moment the recording is chosen, after the
// workers started (as the time-out does). The actions run in the order of
// their times (equal times in command-line order), each at or after its time
// and never after a later one, from one precise timer that walks the sorted
// list. The run ends at --timeout, at a quit action, or (unless --no-end)
// once no action is left, the latest time report is End, every channel's
// latest picture signal is a marker (or it showed nothing: a channel without
// a file only gets markers, and End is the last thing a playing channel
// shows), and no frame, sound or action came for --grace ms. A seek or
// direction change after End brings new reports, so the run waits for the
// next End.
//
// engine_harness [--selected N] [--speed INDEX] [--unpaced] [--reverse]
//                [--timeout MS] [--grace MS] [--no-end] [--audio FILE]
//                [--action MS:KIND[:ARG]]... CHANNEL=PATH... [-- CHANNEL=PATH...]...
// KIND: seek (ARG ms), pause, play, step, stop, reverse (ARG 0/1, re-seeks
// to the last position), replay (the same recording again), open (ARG: the
// recording after the ARG-th "--"), quit, cut (ARG BEGIN:END ms, queued to
// the demux as the main window does; more pairs go in one queued call); it
// reads the settings store of "BRAVELO"/"Ordavex". There is no sound device:
// --audio writes the PCM the output takes from the sound ring to FILE, and
// "audio" lists (ms, bytes) of each take.
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/Controller.h"
#include "engine/FileNameCodec.h"
#include "engine/FrameQueue.h"
#include "engine/StreamMarker.h"

namespace {

// Taken around making a queued functor and first thing in its body.
std::mutex& QueuedCallMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr int kEndCheckMs = 50;

struct Action {
    qint64 at = 0;      // ms after the recording was chosen
    QStringList parts;  // MS, KIND, ARG...
};

struct Options {
    std::vector<QVector<QString>> recordings{QVector<QString>(Controller::kChannels)};
    QString audioFile;
    int selected = 1;
    int speedIndex = 4;
    bool unpaced = false;
    bool reverse = false;
    bool stopAtEnd = true;
    int timeoutMs = 20000;
    int graceMs = 400;
    std::vector<Action> actions;  // sorted by time once parsed
};

bool Parse(const QStringList& args, Options* o) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto next = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == "--selected") {
            o->selected = next().toInt();
        } else if (a == "--speed") {
            o->speedIndex = next().toInt();
        } else if (a == "--unpaced") {
            o->unpaced = true;
        } else if (a == "--reverse") {
            o->reverse = true;
        } else if (a == "--no-end") {
            o->stopAtEnd = false;
        } else if (a == "--timeout") {
            o->timeoutMs = next().toInt();
        } else if (a == "--grace") {
            o->graceMs = next().toInt();
        } else if (a == "--action") {
            const QStringList parts = next().split(':');
            o->actions.push_back(Action{parts.value(0).toLongLong(), parts});
        } else if (a == "--audio") {
            o->audioFile = next();
        } else if (a == "--") {
            o->recordings.emplace_back(Controller::kChannels);
        } else if (a.contains('=')) {
            const int ch = a.section('=', 0, 0).toInt();
            if (ch < 1 || ch > Controller::kChannels) {
                return false;
            }
            o->recordings.back()[ch - 1] = a.section('=', 1);
        } else {
            return false;
        }
    }
    std::stable_sort(o->actions.begin(), o->actions.end(),
                     [](const Action& a, const Action& b) { return a.at < b.at; });
    return true;
}

long RssKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int Threads() {
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

class Harness {
public:
    explicit Harness(const Options& o) : options(o) {}

    int Run() {
        clock.start();
        Wire();
        controller.reverse.store(options.reverse);
        controller.unpaced.store(options.unpaced);
        controller.SpeedChange(options.speedIndex);
        result["threads_idle_before"] = Threads();
        controller.Start();
        result["threads_started"] = Threads();
        controller.On_PlayAVI(options.recordings[0], options.selected);
        // Starting the workers may take long on a loaded machine: the
        // actions are meant for a recording that plays.
        chosenAt = clock.elapsed();
        actionTimer.setSingleShot(true);
        actionTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&actionTimer, &QTimer::timeout, [this] { RunDueActions(); });
        ArmActionTimer();
        QTimer::singleShot(options.timeoutMs, Qt::PreciseTimer, &app(),
                           [] { QCoreApplication::exit(0); });
        QTimer endCheck;
        if (options.stopAtEnd) {
            QObject::connect(&endCheck, &QTimer::timeout, [this] { QuitWhenQuiet(); });
            endCheck.start(kEndCheckMs);
        }
        QCoreApplication::exec();
        result["rss_kb_end"] = double(RssKb());
        result["threads_end"] = Threads();
        QElapsedTimer shutdown;
        shutdown.start();
        controller.Shutdown();
        result["shutdown_ms"] = double(shutdown.elapsed());
        result["audio_opens"] = controller.audioReopen.Opens();
        result["audio_rate"] = controller.AudioSampleRate();
        std::lock_guard<std::mutex> lock(mutex);
        result["audio"] = audio;
        result["frames"] = frames;
        result["times"] = times;
        result["statuses"] = statuses;
        result["actions"] = done;
        std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
        return 0;
    }

private:
    static QCoreApplication& app() { return *QCoreApplication::instance(); }

    void Wire() {
        audioFile.setFileName(options.audioFile);
        if (!options.audioFile.isEmpty() && audioFile.open(QIODevice::WriteOnly)) {
            controller.audioCtrl.SetTap([this](const char* pcm, qint64 bytes) {
                audioFile.write(pcm, bytes);
                std::lock_guard<std::mutex> lock(mutex);
                audio.append(QJsonArray{double(clock.elapsed()), double(bytes)});
                lastActivityAt = clock.elapsed();  // sound still playing keeps the run going
            });
        }
        for (int ch = 0; ch < Controller::kChannels; ++ch) {
            VideoCtrl* video = controller.videoCtrls[size_t(ch)].get();
            QObject::connect(
                video, &VideoCtrl::Signal_show, video,
                [this, ch, video](uchar* pixels, int width, int height) {
                    Frame(ch, pixels, width, height);
                    if (pixels) {
                        std::free(pixels);
                        video->FrameConsumed();
                    }
                },
                Qt::DirectConnection);
        }
        QObject::connect(
            &controller.playCtrl, &PlayCtrl::Signal_updateTime, &controller.playCtrl,
            [this](qint64 position, qint64 duration) { Time(position, duration); },
            Qt::DirectConnection);
        QObject::connect(
            &controller, &Controller::Signal_playStatusChange, &controller,
            [this](PlayStatus status) {
                std::lock_guard<std::mutex> lock(mutex);
                statuses.append(QJsonArray{double(clock.elapsed()), int(status)});
            },
            Qt::DirectConnection);
    }

    void Frame(int ch, const uchar* pixels, int width, int height) {
        QJsonObject f{{"t", double(clock.elapsed())},
                      {"ch", ch},
                      {"clock", double(controller.clock.load())},
                      {"w", width},
                      {"h", height}};
        if (pixels) {
            const qint64 bytes = FrameQueue::FrameBytes(width, height);
            f["md5"] = QString::fromLatin1(
                QCryptographicHash::hash(
                    QByteArray::fromRawData(reinterpret_cast<const char*>(pixels), int(bytes)),
                    QCryptographicHash::Md5)
                    .toHex());
        }
        std::lock_guard<std::mutex> lock(mutex);
        frames.append(f);
        lastActivityAt = clock.elapsed();
        showsPicture[size_t(ch)] = pixels != nullptr;
    }

    void Time(qint64 position, qint64 duration) {
        std::lock_guard<std::mutex> lock(mutex);
        times.append(QJsonArray{double(clock.elapsed()), double(position), double(duration)});
        atEnd = position == StreamMarker::End;
        if (position >= 0) {
            lastPosition = position;
        }
    }

    // The End report comes when the clock passed the last picture; a channel
    // whose decoder is slow still has frames, then its End marker, to show.
    // Counting markers does not tell: every channel gets every marker, but a
    // seek's Clear drops the End still queued behind a playing channel's
    // pictures, while a channel without a file has shown it long before.
    void QuitWhenQuiet() {
        if (nextAction < options.actions.size()) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex);
        const bool channelsAtEnd = std::none_of(showsPicture.begin(), showsPicture.end(),
                                                [](bool picture) { return picture; });
        if (atEnd && channelsAtEnd && clock.elapsed() - lastActivityAt >= options.graceMs) {
            QCoreApplication::exit(0);
        }
    }

    // Coarse timers fire up to 5 % off their time, which would swap actions
    // a few ms apart: one precise timer runs them strictly in list order.
    void RunDueActions() {
        while (nextAction < options.actions.size() &&
               chosenAt + options.actions[nextAction].at <= clock.elapsed()) {
            const QStringList& parts = options.actions[nextAction++].parts;
            Act(parts);
            if (parts.value(1) == "quit") {
                return;  // nothing runs after the quit
            }
        }
        ArmActionTimer();
    }

    void ArmActionTimer() {
        if (nextAction < options.actions.size()) {
            const qint64 wait = chosenAt + options.actions[nextAction].at - clock.elapsed();
            actionTimer.start(int(std::clamp<qint64>(wait, 0, std::numeric_limits<int>::max())));
        }
    }

    void Act(const QStringList& parts) {
        // Stamped before acting: a seek may show its first frame before Act returns.
        const double at = double(clock.elapsed());
        const QString kind = parts.value(1);
        const qint64 arg = parts.value(2).toLongLong();
        if (kind == "seek") {
            controller.aviFileRead.Seek(arg);
        } else if (kind == "pause") {
            controller.On_Pause();
        } else if (kind == "play") {
            controller.On_Play();
        } else if (kind == "step") {
            controller.singleStep.exchange(true);
            controller.InterruptWaits();
        } else if (kind == "stop") {
            controller.On_Stop();
        } else if (kind == "reverse") {
            controller.reverse.store(arg != 0);
            std::lock_guard<std::mutex> lock(mutex);
            controller.aviFileRead.Seek(-lastPosition);
        } else if (kind == "cut") {
            // One queued call for all pairs: the later ones reach the demux
            // while the first cut runs, however the threads are scheduled.
            // Plain values only: a shared Qt container handed across threads
            // is refcounted where ThreadSanitizer cannot see it.
            AVIFileRead* demux = &controller.aviFileRead;
            std::array<std::pair<int, int>, 4> cuts{};
            size_t count = 0;
            for (int i = 2; i + 1 < parts.size() && count < cuts.size(); i += 2) {
                cuts[count++] = {parts[i].toInt(), parts[i + 1].toInt()};
            }
            // Qt's event queue orders the call where ThreadSanitizer cannot
            // see it: the functor is made under a lock its body takes first.
            std::lock_guard<std::mutex> queued(QueuedCallMutex());
            QMetaObject::invokeMethod(
                demux,
                [demux, cuts, count] {
                    std::lock_guard<std::mutex> made(QueuedCallMutex());
                    for (size_t c = 0; c < count; ++c) {
                        demux->SetCut(cuts[c].first, cuts[c].second);
                    }
                },
                Qt::QueuedConnection);
        } else if (kind == "replay") {
            controller.On_PlayAVI(options.recordings[0], options.selected);
        } else if (kind == "open" && arg > 0 && size_t(arg) < options.recordings.size()) {
            controller.On_PlayAVI(options.recordings[size_t(arg)], options.selected);
        } else if (kind == "quit") {
            QCoreApplication::exit(0);
        }
        std::lock_guard<std::mutex> lock(mutex);
        done.append(QJsonArray{at, parts.join(':'), double(RssKb()), Threads()});
        // What the action sets off may not have reached the reports yet.
        lastActivityAt = clock.elapsed();
    }

    const Options options;
    Controller controller;
    QFile audioFile;  // GUI thread
    QTimer actionTimer;
    size_t nextAction = 0;  // GUI thread
    qint64 chosenAt = 0;    // GUI thread: when the first recording was chosen
    QElapsedTimer clock;
    std::mutex mutex;
    // Guarded by mutex.
    QJsonArray frames;
    QJsonArray times;
    QJsonArray statuses;
    QJsonArray done;
    QJsonArray audio;
    qint64 lastPosition = 0;
    qint64 lastActivityAt = 0;  // a frame, a sound take or an action
    bool atEnd = false;         // the latest time report is End
    // Each channel's latest picture signal carried a picture (not a marker).
    std::array<bool, Controller::kChannels> showsPicture{};
    QJsonObject result;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("PULSE_SERVER", "unix:/nonexistent");  // no sound device, and none spawned
    QCoreApplication::setOrganizationName("BRAVELO");
    QCoreApplication::setApplicationName("Ordavex");
    QCoreApplication app(argc, argv);
    FileNameCodec::Install();  // as the player does
    Options options;
    if (!Parse(app.arguments(), &options)) {
        std::fputs("usage: engine_harness [options] CHANNEL=PATH...\n", stderr);
        return 2;
    }
    // A hang anywhere, Shutdown included, fails the run.
    std::thread([limit = options.timeoutMs + 5000] {
        std::this_thread::sleep_for(std::chrono::milliseconds(limit));
        std::fputs("engine_harness: watchdog fired\n", stderr);
        std::_Exit(3);
    }).detach();
    Harness harness(options);
    return harness.Run();
}
