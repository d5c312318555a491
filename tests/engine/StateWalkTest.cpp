// Every change of playback state, as ordered pairs and as random sequences
// with random delays, driven the way the main window drives the engine; after
// each sequence the invariants below are checked, never timings. The walk
// runs in several child processes (one engine per process); each prints its
// seed and the failing sequence. ORDAVEX_WALK_SEED repeats a run,
// ORDAVEX_WALK_SEQUENCES sets the number of random sequences.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "EngineDriver.h"
#include "Limits.h"
#include "TempDir.h"
#include "engine/StreamMarker.h"

namespace {

constexpr qint64 kSlow = testsupport::kSanitizerFactor;
// Sanitizer builds walk fewer sequences in fewer processes.
constexpr int kShards = kSlow > 1 ? 4 : 6;
constexpr int kDefaultSequences = kSlow > 1 ? 130 : 520;
constexpr qint64 kUs = 1000;
constexpr qint64 kHangMs = 20000 * kSlow;  // no step of the walk takes this long
constexpr qint64 kShutdownMs = testsupport::kExitLimitMs;
constexpr qint64 kSettleMs = 3000 * kSlow;  // for what must come at once
constexpr qint64 kQuietMs = 250;
constexpr qint64 kSomeSound = 3200;  // 0.2 s of 8000 Hz 16-bit mono
constexpr int kMaxDelayMs = 50;
constexpr int kMinLength = 2;
constexpr int kMaxLength = 6;
constexpr int kSpeeds = 9;
constexpr int kFirstSpeedIndex = 4;  // 1X
const char* const kShardVariable = "ORDAVEX_WALK_SHARD";
const char* const kSeedVariable = "ORDAVEX_WALK_SEED";
const char* const kCountVariable = "ORDAVEX_WALK_SEQUENCES";
const char* const kNoise =
    "20230514083000_NM_0004000_0000192032_0320_0240_25_00321058_0000000088880001_03_"
    "2305140001_00_642_0000000_V02_000_E08_0.avi";

using Recording = EngineDriver::Recording;

enum Act {
    OpenA,
    OpenB,
    Play,
    Pause,
    Stop,
    Step,
    Seek,
    Backwards,
    Forwards,
    Speed,
    Unpaced,
    ToEnd,
    PastStart,
    kActs
};
const char* const kActNames[kActs] = {"openA",   "openB", "play",     "pause",   "stop",
                                      "step",    "seek",  "backward", "forward", "speed",
                                      "unpaced", "toEnd", "pastStart"};

struct Action {
    Act act = Play;
    int arg = 0;    // which recording, seek target per mille, speed index
    int delay = 0;  // ms before the next action
};

enum Probe { StopProbe, EndProbe, SoundProbe, ChannelsProbe, kProbes };
const char* const kProbeNames[kProbes] = {"stop", "end", "sound", "channels"};

std::string Describe(const std::vector<Action>& actions, Probe probe) {
    std::ostringstream out;
    for (const Action& a : actions) {
        out << kActNames[a.act] << "(" << a.arg << ")+" << a.delay << "ms ";
    }
    out << "then the " << kProbeNames[probe] << " probe";
    return out.str();
}

quint64 EnvNumber(const char* name, quint64 fallback) {
    bool ok = false;
    const quint64 value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : fallback;
}

// One shard of the walk: one engine, its share of the pairs and sequences.
class Walker {
public:
    Walker(quint64 seed, int shard) : seed(seed), shard(shard) {}

    bool Prepare() {
        const Recording a = EngineDriver::Fixture("20230514083000", 1);
        const Recording b = EngineDriver::Fixture("20230514094500", 3);  // shortest selected
        Recording absent = EngineDriver::Fixture("20230514083000", 1, {2, 3, 4});
        Recording unreadable = EngineDriver::Fixture("20230514083000", 3, {1, 2});
        unreadable.paths[2] = EngineDriver::WriteNoise(dir.file(kNoise), 100000);
        if (!a.readable[0] || !b.readable[2]) {
            return false;
        }
        recordings = {a, absent, b, unreadable};
        driver.reset(new EngineDriver);
        return true;
    }

    // The pairs whose number falls to this shard, then count sequences.
    void Run(int count) {
        std::thread watchdog([this] { Watch(); });
        int number = 0;
        for (int first = 0; first < kActs && !failed; ++first) {
            for (int second = 0; second < kActs && !failed; ++second) {
                if (number++ % kShards != shard) {
                    continue;
                }
                std::mt19937_64 random(seed ^ (quint64(number) << 20));
                RunSequence({Make(Act(first), random, 0), Make(Act(second), random, 0)},
                            Probe(number % kProbes));
            }
        }
        for (int i = 0; i < count && !failed; ++i) {
            std::mt19937_64 random(seed + quint64(shard) * 1000003 + quint64(i));
            std::vector<Action> actions(size_t(kMinLength + int(random() % (kMaxLength - 1))));
            for (Action& a : actions) {
                a = Make(Act(random() % kActs), random, int(random() % (kMaxDelayMs + 1)));
            }
            RunSequence(actions, Probe(random() % kProbes));
        }
        const qint64 shutdown = driver->Shutdown();
        EXPECT_LT(shutdown, kShutdownMs) << "shutdown took " << shutdown << " ms";
        done.store(true);
        watchdog.join();
    }

private:
    Action Make(Act act, std::mt19937_64& random, int delay) {
        Action a;
        a.act = act;
        a.delay = delay;
        a.arg = act == Speed ? int(random() % kSpeeds) : int(random() % 1000);
        return a;
    }

    void Beat(const std::vector<Action>& actions, Probe probe) {
        std::lock_guard<std::mutex> lock(beatMutex);
        lastBeat = driver->Now();
        now = Describe(actions, probe);
    }

    // A hang fails at once, with the sequence that caused it.
    void Watch() {
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::lock_guard<std::mutex> lock(beatMutex);
            if (driver->Now() - lastBeat > kHangMs * kUs) {
                std::fprintf(stderr, "walk hangs: seed=%llu shard=%d during %s\n",
                             static_cast<unsigned long long>(seed), shard, now.c_str());
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }

    void RunSequence(const std::vector<Action>& actions, Probe probe) {
        const std::string what = Describe(actions, probe);
        SCOPED_TRACE("seed=" + std::to_string(seed) + " shard=" + std::to_string(shard) + ": " +
                     what);
        Beat(actions, probe);
        driver->Forget();
        opens.clear();
        repositions = 0;
        const qint64 from = driver->Now();
        sequenceStart = from;
        for (const Action& a : actions) {
            Apply(a);
            driver->Pump(a.delay);
        }
        Beat(actions, probe);
        RunProbe(probe);
        CheckPictures(from);
        failed = failed || ::testing::Test::HasFailure();
    }

    Controller& engine() { return driver->engine(); }
    // The shared state, for failure messages.
    std::string State() {
        Controller& c = engine();
        std::ostringstream out;
        out << " [status " << int(c.playStatus.load()) << ", reverse " << c.reverse.load()
            << ", speed " << c.speed.load() << ", unpaced " << c.unpaced.load() << ", step "
            << c.singleStep.load() << ", clock " << c.clock.load() << ", position "
            << driver->ShownPosition() << ", demux go " << c.HasGo(Controller::Reader::Demux)
            << ", recording " << current << "]";
        return out.str();
    }
    bool Status(PlayStatus s) { return engine().playStatus.load() == s; }

    void Open(size_t which) {
        current = which;
        opens.emplace_back(driver->Now(), which);
        driver->Open(recordings[which]);
    }

    void Turn(bool backwards) {
        if (engine().reverse.load() != backwards) {
            ++repositions;
            driver->PressDirection(backwards);
        }
    }

    void Apply(const Action& a) {
        const qint64 duration = recordings[current].durationMs;
        switch (a.act) {
            case OpenA:
            case OpenB:
                Open((a.act == OpenA ? 0 : 2) + size_t(a.arg % 2));
                break;
            case Play:
                driver->Play();
                break;
            case Pause:
                driver->Pause();
                break;
            case Stop:
                driver->Stop();
                break;
            case Step:
                driver->Step();
                break;
            case Seek:
                ++repositions;
                driver->Seek(qint64(a.arg) * (duration + 500) / 1000);
                break;
            case Backwards:
            case Forwards:
                repositions += engine().reverse.load() != (a.act == Backwards);
                driver->PressDirection(a.act == Backwards);
                break;
            case Speed:
                driver->Speed(a.arg);
                break;
            case Unpaced:
                driver->Unpaced();
                break;
            case ToEnd:
                Turn(false);
                ++repositions;
                driver->Seek(std::max<qint64>(0, duration - 300));
                break;
            case PastStart:
                Turn(true);
                ++repositions;
                driver->Seek(300);
                break;
            case kActs:
                break;
        }
    }

    // From a stopped engine the probes open the recording last chosen.
    void EnsureOpen(bool needsSound) {
        if (needsSound && !recordings[current].sound) {
            Open(0);
        } else if (Status(PlayStatus::Stop)) {
            Open(current);
        }
    }

    // Playing forwards, paced, from the start: pause and play again, as a
    // user leaves second play or single steps.
    void PlayFromStart(int speedIndex) {
        driver->Speed(speedIndex);
        Turn(false);
        driver->Pause();
        driver->Play();
        ++repositions;
        driver->Seek(0);
    }

    void RunProbe(Probe probe) {
        switch (probe) {
            case StopProbe:
                ProbeStop();
                break;
            case EndProbe:
                ProbeEnd();
                break;
            case SoundProbe:
                ProbeSound();
                break;
            case ChannelsProbe:
                ProbeChannels();
                break;
            case kProbes:
                break;
        }
    }

    // After Stop (once the demux ran its stop path) no picture, no position.
    void ProbeStop() {
        driver->Stop();
        ASSERT_TRUE(
            driver->WaitFor([&] { return !engine().HasGo(Controller::Reader::Demux); }, kSettleMs))
            << "the demux never went idle after Stop" << State();
        driver->Pump(kQuietMs);
        const qint64 quiet = driver->Now();
        driver->Pump(kQuietMs);
        EXPECT_EQ(Shown(quiet), 0) << "pictures after Stop" << State();
        EXPECT_EQ(Positions(quiet), 0) << "positions after Stop" << State();
    }

    // Chosen again and played unpaced to its end: exactly one End, then
    // nothing moves.
    void ProbeEnd() {
        const qint64 from = driver->Now();
        Turn(false);
        driver->Unpaced();
        Open(current);
        qint64 opened = -1;
        const auto ends = [&] {
            opened = -1;
            int n = 0;
            for (const auto& r : driver->Reports(from)) {
                opened = opened < 0 && r.position == StreamMarker::Open ? r.at : opened;
                n += opened >= 0 && r.position == StreamMarker::End;
            }
            return n;
        };
        ASSERT_TRUE(driver->WaitFor([&] { return ends() > 0; }, kSettleMs * 3))
            << "no End when played to the end" << State();
        driver->Pump(kQuietMs);
        const qint64 quiet = driver->Now();
        driver->Pump(kQuietMs);
        EXPECT_EQ(ends(), 1) << State() << Reported(sequenceStart);
        EXPECT_EQ(Positions(quiet), 0) << "positions after the End" << State();
    }

    // Forwards at 1X the sound output runs and PCM flows.
    void ProbeSound() {
        EnsureOpen(true);
        PlayFromStart(kFirstSpeedIndex);
        const qint64 before = driver->PcmBytes();
        EXPECT_TRUE(
            driver->WaitFor([&] { return driver->PcmBytes() > before + kSomeSound; }, kSettleMs))
            << "no sound playing forwards at 1X" << State();
    }

    // Every readable channel of the recording shows new pictures while the
    // clock moves: none is frozen.
    void ProbeChannels() {
        EnsureOpen(false);
        PlayFromStart(kFirstSpeedIndex);
        const qint64 from = driver->Now();
        const Recording& r = recordings[current];
        const auto moving = [&](int ch) {
            std::set<int> seen;
            for (const auto& p : driver->Pictures(ch, from)) {
                seen.insert(p.In(r.pictures[size_t(ch)]));
            }
            seen.erase(EngineDriver::kEmpty);
            return seen.size() >= 3;
        };
        const bool all = driver->WaitFor(
            [&] {
                for (int ch = 0; ch < EngineDriver::kChannels; ++ch) {
                    if (r.readable[size_t(ch)] && !moving(ch)) {
                        return false;
                    }
                }
                return true;
            },
            kSettleMs);
        for (int ch = 0; ch < EngineDriver::kChannels && !all; ++ch) {
            EXPECT_TRUE(!r.readable[size_t(ch)] || moving(ch))
                << "channel " << ch + 1 << " frozen" << State();
        }
    }

    int Shown(qint64 from) {
        int n = 0;
        for (int ch = 0; ch < EngineDriver::kChannels; ++ch) {
            for (const auto& p : driver->Pictures(ch, from)) {
                n += !p.Empty();
            }
        }
        return n;
    }
    int Positions(qint64 from) {
        int n = 0;
        for (const auto& r : driver->Reports(from)) {
            n += r.position >= 0;
        }
        return n;
    }

    // Each picture is one of ffmpeg's pictures of a recording chosen so far,
    // and each channel shows them in one direction's order: a run of pictures
    // turns or repeats at most once per seek, change of direction or new
    // recording.
    void CheckPictures(qint64 from) {
        for (int ch = 0; ch < EngineDriver::kChannels; ++ch) {
            size_t rec = before;
            size_t nextOpen = 0;
            int last = -1;
            int direction = 0;
            int breaks = 0;
            for (const auto& p : driver->Pictures(ch, from)) {
                if (p.Empty()) {
                    while (nextOpen < opens.size() && opens[nextOpen].first <= p.at) {
                        rec = opens[nextOpen++].second;
                    }
                    last = -1;
                    direction = 0;
                    continue;
                }
                int index = p.In(recordings[rec].pictures[size_t(ch)]);
                if (index < 0) {
                    index = FindElsewhere(p, ch, &rec);
                    last = -1;
                    direction = 0;
                }
                ASSERT_GE(index, 0)
                    << "channel " << ch + 1 << " showed a picture ffmpeg never made";
                if (last >= 0) {
                    const int step = index > last ? 1 : -1;
                    const bool turns = index == last || (direction != 0 && step != direction);
                    breaks += turns;
                    direction = turns ? 0 : step;  // a new run sets its own direction
                }
                last = index;
            }
            EXPECT_LE(breaks, repositions + int(opens.size()))
                << "channel " << ch + 1 << " out of order: " << Trail(ch, from);
        }
        before = current;
    }

    // The reports since from, for failure messages: position@ms.
    std::string Reported(qint64 from) {
        std::ostringstream out;
        for (const auto& r : driver->Reports(from)) {
            out << r.position << "@" << r.at / kUs << " ";
        }
        return out.str();
    }

    // The channel's pictures as indices in the recordings chosen, for
    // failure messages (e: emptied, ?: unknown).
    std::string Trail(int ch, qint64 from) {
        std::ostringstream out;
        for (const auto& p : driver->Pictures(ch, from)) {
            int index = EngineDriver::kUnknown;
            for (const Recording& r : recordings) {
                index = std::max(index, p.In(r.pictures[size_t(ch)]));
            }
            out << (p.Empty()   ? std::string("e")
                    : index < 0 ? "?"
                                : std::to_string(index))
                << "@" << p.at / kUs << " ";
        }
        return out.str();
    }

    // A picture of another recording chosen in this sequence (or before it).
    int FindElsewhere(const EngineDriver::Picture& p, int ch, size_t* rec) {
        std::vector<size_t> candidates{before};
        for (const auto& [at, which] : opens) {
            candidates.push_back(which);
        }
        for (size_t which : candidates) {
            const int index = p.In(recordings[which].pictures[size_t(ch)]);
            if (index >= 0) {
                *rec = which;
                return index;
            }
        }
        return EngineDriver::kUnknown;
    }

    const quint64 seed;
    const int shard;
    testsupport::TempDir dir;
    std::vector<Recording> recordings;
    std::unique_ptr<EngineDriver> driver;
    size_t current = 0;                            // the recording chosen last
    size_t before = 0;                             // the one chosen last before this sequence
    std::vector<std::pair<qint64, size_t>> opens;  // this sequence's choices
    int repositions = 0;
    qint64 sequenceStart = 0;
    bool failed = false;

    std::mutex beatMutex;
    // Guarded by beatMutex.
    qint64 lastBeat = 0;
    std::string now;
    std::atomic<bool> done{false};
};

// One child process per shard, all at once.
TEST(EngineStateWalk, EveryChangeOfStateKeepsTheInvariants) {
    const QString shardText = qEnvironmentVariable(kShardVariable);
    const quint64 seed = EnvNumber(kSeedVariable, quint64(std::random_device{}()));
    if (!shardText.isEmpty()) {
        setvbuf(stdout, nullptr, _IONBF, 0);
        Walker walker(seed, shardText.toInt());
        ASSERT_TRUE(walker.Prepare()) << "fixture recordings missing";
        walker.Run(int(EnvNumber(kCountVariable, kDefaultSequences) / kShards));
        return;
    }
    std::printf("walk seed %llu (%s=%llu repeats it)\n", static_cast<unsigned long long>(seed),
                kSeedVariable, static_cast<unsigned long long>(seed));
    // Each child writes to its own file: a pipe that nobody drains while
    // another child is waited for would fill up and stop its writer.
    testsupport::TempDir logs;
    std::vector<std::unique_ptr<QProcess>> children;
    for (int shard = 0; shard < kShards; ++shard) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kShardVariable, QString::number(shard));
        env.insert(kSeedVariable, QString::number(seed));
        auto child = std::make_unique<QProcess>();
        child->setProcessEnvironment(env);
        child->setProcessChannelMode(QProcess::MergedChannels);
        child->setStandardOutputFile(QString::fromStdString(logs.file(std::to_string(shard))));
        child->start(QCoreApplication::applicationFilePath(), {"--gtest_filter=EngineStateWalk.*"});
        children.push_back(std::move(child));
    }
    for (int shard = 0; shard < kShards; ++shard) {
        QProcess& child = *children[size_t(shard)];
        // The child's own watchdog ends a hang; this only bounds a wedged exit.
        const bool ended = child.waitForFinished(int(kHangMs * 20));
        if (!ended) {
            child.kill();
            child.waitForFinished();
        }
        const bool passed =
            ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
        QFile log(QString::fromStdString(logs.file(std::to_string(shard))));
        log.open(QIODevice::ReadOnly);
        EXPECT_TRUE(passed) << "seed " << seed << ", shard " << shard << " ended "
                            << (!ended                                      ? "never"
                                : child.exitStatus() == QProcess::CrashExit ? "by a crash"
                                                                            : "with code")
                            << " " << child.exitCode() << ":\n"
                            << QString::fromUtf8(log.readAll())
                                   .split('\n')
                                   .filter(QRegularExpression(
                                       "Failure|Expected|Which is|Value of|seed=|frozen|order|"
                                       "never|after|hangs|took|no "
                                       "(sound|End)|\\[status|Sanitizer|SUMMARY|#[0-9]+ "))
                                   .mid(0, 60)
                                   .join('\n')
                                   .toStdString();
    }
}

}  // namespace
