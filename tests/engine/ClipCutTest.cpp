// Clips checked against ffmpeg/ffprobe: the clip's packets are the source's
// from the chosen key frame to the end, its streams are labelled as the
// source's, it decodes cleanly, and the source stays as it was.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "engine/ClipCutter.h"
#include "engine/ClipPolicy.h"

using namespace testsupport;

namespace {
const std::string kName =
    "20230514083000_NM_0004000_0000100000_0320_0240_25_00321058_0000000088880001_01_7.avi";

struct Packet {
    int stream = 0;
    int64_t pts = 0, duration = 0;
    std::string md5;
};
struct Probe {
    std::vector<Packet> packets;
    std::map<int, std::pair<int64_t, int64_t>> timeBase;
    double Ms(const Packet& p) const {
        const auto& tb = timeBase.at(p.stream);
        return 1000.0 * double(p.pts) * double(tb.first) / double(tb.second);
    }
};

Probe FrameMd5(const std::string& path) {
    std::istringstream in(
        ffmpeg({"-i", path, "-map", "0:v", "-map", "0:a?", "-c", "copy", "-f", "framemd5", "-"})
            .out);
    Probe probe;
    for (std::string line; std::getline(in, line);) {
        int s = 0;
        long long a = 0, b = 0, dts = 0, pts = 0, dur = 0, size = 0;
        char md5[33] = {};
        if (std::sscanf(line.c_str(), "#tb %d: %lld/%lld", &s, &a, &b) == 3) {
            probe.timeBase[s] = {a, b};
        } else if (std::sscanf(line.c_str(), "%d, %lld, %lld, %lld, %lld, %32s", &s, &dts, &pts,
                               &dur, &size, md5) == 6) {
            probe.packets.push_back({s, pts, dur, md5});
        }
    }
    return probe;
}

std::string Shell(const std::string& line) {
    return runCommand({"sh", "-c", line}).out;
}

// The clip's packets of each stream are a run of the source's that ends with
// the last packet at or before endMs; equal time bases and durations.
void ExpectCopy(const std::string& source, const std::string& clip, qint64 endMs) {
    const Probe s = FrameMd5(source), c = FrameMd5(clip);
    ASSERT_EQ(s.timeBase, c.timeBase);
    for (const auto& stream : s.timeBase) {
        const auto of = [&](const Probe& probe) {
            std::vector<Packet> v;
            for (const Packet& p : probe.packets)
                if (p.stream == stream.first)
                    v.push_back(p);
            return v;
        };
        const std::vector<Packet> sp = of(s), cp = of(c);
        ASSERT_FALSE(cp.empty()) << "stream " << stream.first;
        bool found = false;
        for (size_t i = 0; i + cp.size() <= sp.size() && !found; ++i) {
            const size_t n = cp.size();
            bool same =
                s.Ms(sp[i + n - 1]) <= endMs && (i + n == sp.size() || s.Ms(sp[i + n]) > endMs);
            for (size_t k = 0; k < n && same; ++k)
                same = sp[i + k].md5 == cp[k].md5 && sp[i + k].duration == cp[k].duration;
            found = same;
        }
        EXPECT_TRUE(found) << "stream " << stream.first << " of " << clip;
    }
    const std::string labels =
        " -show_entries stream=codec_name,codec_tag_string,width,height,"
        "sample_rate,channels,time_base -of csv=p=0 ";
    const auto streams = [&](const std::string& f) {
        return Shell(ffprobePath() + " -v error" + labels + shellQuote(f) + " | grep -v ^unknown");
    };
    EXPECT_EQ(streams(source), streams(clip));
    EXPECT_EQ(Shell(ffmpegPath() + " -nostdin -v error -i " + shellQuote(clip) + " -f null - 2>&1"),
              "");
}

std::string Recorder(const std::string& dir, const std::string& video, const std::string& audio) {
    runCommand({"python3", sourceDir() + "/scripts/fixtures/make_recordings.py", "single",
                "--media", testDataDir(), "--out", dir + "/", "--video", video, "--audio", audio});
    return dir + "/" +
           QDir(QString::fromStdString(dir)).entryList({"*.avi"}).value(0).toStdString();
}
}  // namespace

TEST(ClipCutTest, EverySourceGivesAFaithfulClip) {
    const std::vector<std::vector<std::string>> sources = {
        {"h264_adpcm_ms.avi"},   {"hevc_adpcm_ms.avi"}, {"h264_aac.avi"},
        {"h264_stereo_aac.avi"}, {"h264_adts_aac.avi"}, {"h264_pcm.avi"},
        {"h264_adpcm_ima.avi"},  {"h264_yuvj420p.avi"}, {"h264", "adpcm_ms"},
        {"hevc", "aac"},         {"h264", "none"}};
    for (const auto& row : sources) {
        TempDir dir;
        QDir().mkpath(QString::fromStdString(dir.file("out")));
        std::string source = dir.file(kName);
        if (row.size() == 1) {
            QFile::copy(QString::fromStdString(testDataFile(row[0])),
                        QString::fromStdString(source));
        } else {
            source = Recorder(dir.path(), row[0], row[1]);
        }
        const std::string before = readFile(source);
        ClipCutter cutter;
        ClipCutter::Request request{1000, 3000, QString::fromStdString(dir.file("out")),
                                    ClipPolicy::ChannelBit(1), 0};
        ASSERT_EQ(cutter.Start(request, {QString::fromStdString(source)}, {true}), 1) << row[0];
        while (cutter.Step()) {
        }
        ASSERT_EQ(cutter.Outcomes().size(), 1u);
        ASSERT_TRUE(cutter.Outcomes()[0].ok) << row[0];
        const std::string clip = cutter.Outcomes()[0].path.toStdString();
        EXPECT_NE(clip.find(std::to_string(QFile(cutter.Outcomes()[0].path).size())),
                  std::string::npos);
        SCOPED_TRACE(row[0]);
        ExpectCopy(source, clip, 3000);
        EXPECT_EQ(readFile(source), before);
    }
}
