// The whole engine played headless by engine_harness (one scenario per child
// process) against ffmpeg's decoded frames: every released frame is found by
// its MD5 in `ffmpeg -f framemd5 -pix_fmt yuv420p` of its channel's file.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

#include "Command.h"
#include "Limits.h"
#include "TempDir.h"
#include "TestData.h"

namespace {

using Files = std::map<int, std::string>;  // channel 1..12 -> path

// The fixture recording that starts at `start`, by channel.
Files Recording(const QString& start) {
    const QDir dir(QString::fromStdString(testsupport::testDataDir()) + "/recordings");
    Files files;
    for (const QString& name : dir.entryList({start + "_*.avi"})) {
        files[name.section('_', 9, 9).toInt()] = dir.filePath(name).toStdString();
    }
    return files;
}

// The file's pictures in display order: MD5 -> index.
std::map<std::string, int> FrameIndex(const std::string& path) {
    return testsupport::videoFrameIndex(path);
}

// Indices of the packets the file marks as key frames (the fixtures have no
// B-frames, so packet and picture order agree).
std::vector<int> KeyFrames(const std::string& path) {
    const auto r = testsupport::ffprobe(
        {"-select_streams", "v", "-show_entries", "packet=flags", "-of", "csv=p=0"}, path);
    std::vector<int> keys;
    int n = 0;
    for (const QString& line : QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith('K')) {
            keys.push_back(n);
        }
        ++n;
    }
    return keys;
}

// The key frame nearest to `ms` (25 fps), the later one on a tie.
int NearestKey(const std::vector<int>& keys, qint64 ms) {
    int best = keys.front();
    for (int k : keys) {
        if (std::abs(k * 40 - ms) <= std::abs(best * 40 - ms)) {
            best = k;
        }
    }
    return best;
}

struct Played {
    QJsonObject json;
    std::map<int, std::vector<std::pair<double, int>>> frames;  // channel -> (ms, index)
    std::vector<std::pair<double, qint64>> positions;           // (ms, position)
    double actionAt(int i) const { return json["actions"].toArray()[i].toArray()[0].toDouble(); }
};

Played Play(const Files& files, std::vector<std::string> args) {
    for (const auto& [ch, path] : files) {
        args.push_back(std::to_string(ch) + "=" + path);
    }
    args.insert(args.begin(), ENGINE_HARNESS);
    const auto r = testsupport::runCommand(args);
    Played p;
    EXPECT_EQ(r.exitCode, 0) << "harness failed or hung";
    p.json = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_LT(p.json["shutdown_ms"].toDouble(), testsupport::kExitLimitMs) << "Shutdown too slow";
    std::map<int, std::map<std::string, int>> index;
    for (const auto& [ch, path] : files) {
        index[ch - 1] = FrameIndex(path);
    }
    for (const QJsonValue& v : p.json["frames"].toArray()) {
        const QJsonObject f = v.toObject();
        if (!f.contains("md5")) {
            continue;
        }
        const int ch = f["ch"].toInt();
        const auto at = index[ch].find(f["md5"].toString().toStdString());
        EXPECT_NE(at, index[ch].end()) << "channel " << ch << " showed a picture ffmpeg never made";
        p.frames[ch].emplace_back(f["t"].toDouble(), at == index[ch].end() ? -1 : at->second);
    }
    for (const QJsonValue& v : p.json["times"].toArray()) {
        p.positions.emplace_back(v.toArray()[0].toDouble(), qint64(v.toArray()[1].toDouble()));
    }
    return p;
}

std::vector<int> Indices(const std::vector<std::pair<double, int>>& frames, double from = -1) {
    std::vector<int> out;
    for (const auto& [t, i] : frames) {
        if (t >= from) {
            out.push_back(i);
        }
    }
    return out;
}

std::vector<int> Range(int n, bool backward) {
    std::vector<int> r(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        r[size_t(i)] = backward ? n - 1 - i : i;
    }
    return r;
}

// (-1, duration) first, End exactly once and last, positions monotonic.
void ExpectTimeReports(const Played& p, bool backward) {
    ASSERT_FALSE(p.positions.empty());
    EXPECT_EQ(p.positions.front().second, -1);
    EXPECT_EQ(p.positions.back().second, -3);
    qint64 last = backward ? INT64_MAX : -1;
    int ends = 0;
    for (const auto& [t, pos] : p.positions) {
        ends += pos == -3;
        if (pos >= 0) {
            EXPECT_TRUE(backward ? pos <= last : pos >= last) << pos << " after " << last;
            last = pos;
        }
    }
    EXPECT_EQ(ends, 1);
}

struct OracleCase {
    const char* name;
    const char* start;
    std::vector<int> channels;  // empty: all of the recording
    int selected;
    bool backward;
};

class OracleTest : public ::testing::TestWithParam<OracleCase> {};

// Unpaced, each channel shows exactly ffmpeg's pictures in order (backwards:
// group by group from the last, newest first, which is the reverse order).
TEST_P(OracleTest, EveryChannelShowsFfmpegsPicturesInOrder) {
    const OracleCase c = GetParam();
    Files files = Recording(c.start);
    ASSERT_FALSE(files.empty());
    if (!c.channels.empty()) {
        Files chosen;
        for (int ch : c.channels) {
            chosen[ch] = files.at(ch);
        }
        files = chosen;
    }
    std::vector<std::string> args{"--unpaced", "--selected", std::to_string(c.selected)};
    if (c.backward) {
        args.push_back("--reverse");
    }
    const Played p = Play(files, args);
    for (const auto& [ch, path] : files) {
        const int n = int(FrameIndex(path).size());
        EXPECT_EQ(Indices(p.frames.at(ch - 1)), Range(n, c.backward)) << "channel " << ch;
    }
    ExpectTimeReports(p, c.backward);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, OracleTest,
    ::testing::Values(OracleCase{"FourChannels", "20230514083000", {}, 1, false},
                      OracleCase{"FourChannelsBackward", "20230514083000", {}, 2, true},
                      OracleCase{"DifferentLengths", "20230514094500", {}, 1, false},
                      OracleCase{"DifferentLengthsBackward", "20230514094500", {}, 1, true},
                      OracleCase{"SelectedShortest", "20230514094500", {}, 3, false},
                      OracleCase{"SelectedAbsent", "20230514083000", {1, 3}, 2, false},
                      OracleCase{"Hevc", "20230514084500", {}, 1, false},
                      OracleCase{"NoIndex", "20230514091500", {}, 1, false},
                      OracleCase{"NoIndexBackward", "20230514091500", {}, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct SeekCase {
    const char* name;
    std::vector<std::string> actions;  // the last one is the seek
    qint64 target;
    bool backward;
    bool paused;
};

class SeekTest : public ::testing::TestWithParam<SeekCase> {};

// After a seek each channel goes on from the key frame nearest the target
// (backwards: from within the group before it, downwards), and no picture of
// before the seek follows one of after it. Paused, the selected channel shows
// the sought frame alone.
TEST_P(SeekTest, GoesOnFromTheKeyFrameOfTheTarget) {
    const SeekCase c = GetParam();
    const Files files = Recording("20230514094500");
    std::vector<std::string> args{"--no-end", "--timeout", "1800"};
    for (const std::string& a : c.actions) {
        args.insert(args.end(), {"--action", a});
    }
    if (c.backward) {
        args.push_back("--reverse");
    }
    const Played p = Play(files, args);
    const double seekAt = p.actionAt(int(c.actions.size()) - 1);
    for (const auto& [ch, path] : files) {
        if (c.paused && ch != 1) {
            continue;  // the others follow the selected clock, if they reach it
        }
        const std::vector<int> keys = KeyFrames(path);
        const int n = int(FrameIndex(path).size());
        const int key = NearestKey(keys, c.target);
        // Backwards the reader goes on with the group before that key.
        const auto at = std::find(keys.begin(), keys.end(), key);
        const bool earlier = c.backward && at != keys.begin();
        const int groupStart = earlier ? *(at - 1) : key;
        const int groupEnd = earlier ? key : (at + 1 == keys.end() ? n : *(at + 1));
        const std::vector<int> after = Indices(p.frames.at(ch - 1), seekAt);
        const auto first = std::find_if(after.begin(), after.end(), [&](int i) {
            return c.backward ? i >= groupStart && i < groupEnd : i == key;
        });
        ASSERT_NE(first, after.end()) << "channel " << ch << " never showed the sought group";
        for (auto it = first; it + 1 != after.end(); ++it) {
            EXPECT_EQ(*(it + 1), *it + (c.backward ? -1 : 1)) << "channel " << ch;
        }
        if (c.paused) {
            EXPECT_EQ(after.end() - first, 1) << "paused: only the sought frame";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Seeks, SeekTest,
    ::testing::Values(SeekCase{"Forward", {"500:seek:2500"}, 2500, false, false},
                      SeekCase{"ToZero", {"900:seek:0"}, 0, false, false},
                      SeekCase{"BeyondTheLastKeyFrame", {"300:seek:3990"}, 3990, false, false},
                      SeekCase{"NegativeTarget", {"300:seek:-2100"}, 2100, false, false},
                      SeekCase{"WhilePaused", {"300:pause", "600:seek:2500"}, 2500, false, true},
                      SeekCase{"Backward", {"500:seek:1500"}, 1500, true, false},
                      SeekCase{
                          "BackwardWhilePaused", {"300:pause", "600:seek:3100"}, 3100, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// After Stop no picture and no position; a stopped, paused or 1/16X engine
// and one that never opened a file all end within the bound (checked by Play).
TEST(PipelineTest, StopEndsOutputAndEveryStateShutsDownQuickly) {
    const Files files = Recording("20230514083000");
    const Played stopped = Play(files, {"--no-end", "--timeout", "1200", "--action", "500:stop"});
    // A frame or position already on its way when Stop came may still
    // arrive (a loaded machine can delay it); playback must not go on.
    const double stopAt = stopped.actionAt(0) + 5;
    for (const auto& [ch, frames] : stopped.frames) {
        EXPECT_LE(Indices(frames, stopAt).size(), 1u) << "channel " << ch;
    }
    int positionsAfter = 0;
    for (const auto& [t, pos] : stopped.positions) {
        positionsAfter += t > stopAt && pos >= 0;
    }
    EXPECT_LE(positionsAfter, 1);
    Play(files, {"--no-end", "--timeout", "1000", "--action", "200:pause"});
    Play(files, {"--no-end", "--timeout", "1000", "--speed", "0"});
    Play(files, {"--no-end", "--timeout", "1000", "--reverse", "--action", "400:pause"});
    Play({}, {"--no-end", "--timeout", "500"});
}

// A damaged channel neither crashes the engine nor stops the intact one.
TEST(PipelineTest, DamagedChannelsLeaveTheOthersPlaying) {
    const Files files = Recording("20230514083000");
    const std::string good = files.at(1);
    const std::string bytes = testsupport::readFile(good);
    testsupport::TempDir dir;
    const auto write = [&](const std::string& name, std::string data) {
        FILE* f = std::fopen(dir.file(name).c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        return dir.file(name);
    };
    std::string hugeChunk = bytes;
    const size_t movi = hugeChunk.find("00dc");
    ASSERT_NE(movi, std::string::npos);
    const uint32_t size = 20 * 1024 * 1024;
    std::memcpy(&hugeChunk[movi + 4], &size, 4);
    std::string noise(100000, '\0');
    std::mt19937 random(7);
    for (char& b : noise) {
        b = char(random());
    }
    const Files damaged{{1, good},
                        {2, write("truncated.avi", bytes.substr(0, bytes.size() * 3 / 5))},
                        {3, write("chunk.avi", hugeChunk)},
                        {4, write("noise.avi", noise)}};
    const Played p = Play(damaged, {"--unpaced"});
    EXPECT_EQ(Indices(p.frames.at(0)), Range(int(FrameIndex(good).size()), false));
    ExpectTimeReports(p, false);
}

// A 4K picture (above the old fixed frame buffers) from a folder whose name
// is not ASCII plays like any other.
TEST(PipelineTest, FourKFromANonAsciiFolderPlays) {
    testsupport::TempDir dir;
    const std::string folder = dir.file("Aufnahme \xc3\xbc \xd0\xb7\xd0\xb0\xd0\xbf");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    const std::string file = folder + "/4k.avi";
    ASSERT_EQ(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=3840x2160:rate=25", "-t",
                                   "0.2", "-c:v", "libx264", "-preset", "ultrafast", "-bf", "0",
                                   "-pix_fmt", "yuv420p", file})
                  .exitCode,
              0);
    const Played p = Play({{1, file}}, {"--unpaced"});
    EXPECT_EQ(Indices(p.frames.at(0)), Range(int(FrameIndex(file).size()), false));
}

// Stop/play cycles and random actions leave no threads or memory behind.
TEST(PipelineTest, CyclesAndRandomActionsLeakNothing) {
    const Files files = Recording("20230514083000");
    std::vector<std::string> args{"--no-end", "--timeout", "5000"};
    for (int i = 0; i < 100; ++i) {
        args.insert(args.end(),
                    {"--action", std::to_string(200 + i * 20) + (i % 2 ? ":replay" : ":stop")});
    }
    const char* kinds[] = {"seek", "pause", "play", "step", "stop", "reverse", "replay"};
    std::mt19937 random(11);
    for (int i = 0; i < 200; ++i) {
        args.insert(args.end(),
                    {"--action", std::to_string(2300 + i * 12) + ":" + kinds[random() % 7] + ":" +
                                     std::to_string(random() % 4000)});
    }
    const Played p = Play(files, args);
    const QJsonArray actions = p.json["actions"].toArray();
    ASSERT_EQ(actions.size(), 300);
// Sanitizers keep freed memory and shadow memory; ASan checks leaks itself.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const auto rss = [&](int i) { return actions[i].toArray()[2].toDouble(); };
    EXPECT_LT(rss(99) - rss(19), 16 * 1024) << "kB grown over 80 stop/play cycles";
#endif
    EXPECT_EQ(p.json["threads_end"].toInt(), p.json["threads_started"].toInt());
}

}  // namespace
