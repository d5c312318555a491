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
#include <QRegExp>
#include <sstream>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "engine/ClipCutter.h"
#include "engine/ClipPolicy.h"
#include "engine/RecordingName.h"

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

TEST(ClipCutTest, InterruptedClipKeepsItsTrailer) {
    TempDir dir;
    const std::string source = Recorder(dir.path(), "h264", "adpcm_ms");
    ClipCutter cutter;
    ClipCutter::Request request{0, 4000, QString::fromStdString(dir.path()), 2, 0};
    ASSERT_EQ(cutter.Start(request, {QString::fromStdString(source)}, {true}), 1);
    cutter.Step();
    cutter.Interrupt("stopped");
    ASSERT_EQ(cutter.Outcomes().size(), 1u);
    EXPECT_FALSE(cutter.Outcomes()[0].ok);
    const std::string clip = cutter.Outcomes()[0].path.toStdString();
    EXPECT_EQ(clip.find("0000000000"), std::string::npos) << clip;
    EXPECT_EQ(Shell(ffmpegPath() + " -nostdin -v error -i " + shellQuote(clip) + " -f null - 2>&1"),
              "");
}

// The demux drives the cut: one harness run per row, clips in the row's folder.
TEST(ClipCutTest, DemuxCutsAndPlaysOn) {
    TempDir rec;
    runCommand({"python3", sourceDir() + "/scripts/fixtures/make_recordings.py", "recording",
                "--media", testDataDir(), "--out", rec.path(), "--channels", "2", "--duration-ms",
                "8000"});
    const QStringList sources = QDir(QString::fromStdString(rec.path())).entryList({"*.avi"});
    ASSERT_EQ(sources.size(), 2);
    std::map<QString, std::string> before;
    for (const QString& s : sources)
        before[s] = readFile(rec.file(s.toStdString()));
    struct Row {
        std::string what;
        std::vector<std::string> args;
        int clips, leftovers;  // finished clips; files still under the working name (-1: any)
        bool done, error;      // "cut SU", "Cut Error"
        QString start;         // field 0 of the clips
    } rows[] = {
        {"names", {"Policy=6", "500:cut:2000:6000"}, 2, 0, true, false, "20230514083002"},
        {"selected only",
         {"Policy=7", "SelectChannel=1", "500:cut:2000:6000"},
         1,
         0,
         true,
         false,
         "20230514083002"},
        {"absent skipped", {"Policy=34", "500:cut:2000:6000"}, 1, 0, true, false, "20230514083002"},
        {"to the end", {"Policy=6", "500:cut:6000:60000"}, 2, 0, true, false, "20230514083006"},
        {"second refused",
         {"Policy=2", "500:cut:0:3000", "500:cut:0:4000"},
         1,
         0,
         true,
         true,
         "20230514083000"},
        {"backward",
         {"--reverse", "Policy=2", "1500:cut:2000:6000"},
         1,
         0,
         true,
         false,
         "20230514083002"},
        {"own folder", {"Policy=6", "500:cut:2000:6000"}, 1, 1, false, true, "20230514083002"},
        {"disk full", {"Policy=6", "500:cut:2000:6000"}, 0, -1, false, true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir out;
        const std::string folder = row.what == "own folder" ? rec.path() + "/" : out.path() + "/";
        if (row.what == "disk full" &&
            mount("tmpfs", out.path().c_str(), "tmpfs", 0, "size=64k") != 0)
            continue;
        if (row.what == "own folder") {  // channel 2's working name is taken
            QFile taken(QString::fromStdString(folder) +
                        RecordingName::ClipName(sources[1], 2000, 4000, 0));
            ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        }
        std::string line = std::string(ENGINE_HARNESS) +
                           " --no-end --timeout 2500 --setting "
                           "/CustomSaveDialog/SavePath=" +
                           shellQuote(folder);
        for (const std::string& a : row.args)
            line += a[0] == '-'                        ? " " + a
                    : a.find('=') != std::string::npos ? " --setting /CustomSaveDialog/" + a
                                                       : " --action " + a;
        for (int ch = 0; ch < 2; ++ch)
            line += " " + std::to_string(ch + 1) + "=" +
                    shellQuote(rec.file(sources[ch].toStdString()));
        const std::string log = Shell(line + " 2>&1 >" + shellQuote(out.file("play.json")));
        EXPECT_EQ(log.find("cut SU") != std::string::npos, row.done) << log;
        EXPECT_EQ(log.find("Cut Error") != std::string::npos, row.error) << log;
        const QStringList made = QDir(QString::fromStdString(folder))
                                     .entryList({"*.avi"})
                                     .filter(QRegExp("^(?!" + sources.join('|') + ")"));
        const QStringList clips = made.filter(QRegExp("^(?!.*_0000000000_)"));
        EXPECT_EQ(clips.size(), row.clips) << made.join(' ').toStdString();
        if (row.leftovers >= 0)
            EXPECT_EQ(made.size() - clips.size(), row.leftovers);
        for (const QString& c : clips) {
            const std::string path = folder + c.toStdString();
            EXPECT_EQ(c.section('_', 0, 0), row.start);
            EXPECT_EQ(c.section('_', 3, 3),
                      QString::number(QFile(QString::fromStdString(path)).size())
                          .rightJustified(10, '0'));
            EXPECT_EQ(Shell(ffmpegPath() + " -nostdin -v error -i " + shellQuote(path) +
                            " -f null - 2>&1"),
                      "");
        }
        if (row.what == "own folder")
            for (const QString& m : made)
                QFile::remove(QString::fromStdString(folder) + m);
        if (row.what == "disk full")
            umount(out.path().c_str());
        if (row.what == "backward") {
            const QJsonObject json =
                QJsonDocument::fromJson(QByteArray::fromStdString(readFile(out.file("play.json"))))
                    .object();
            const double cutAt = json["actions"].toArray()[0].toArray()[0].toDouble();
            std::vector<double> old, resumed;
            for (const QJsonValue& t : json["times"].toArray())
                if (t.toArray()[1].toDouble() >= 0)
                    (t.toArray()[0].toDouble() < cutAt ? old : resumed)
                        .push_back(t.toArray()[1].toDouble());
            ASSERT_FALSE(old.empty() || resumed.empty());
            EXPECT_LE(resumed.front(), old.back() + 40);
            EXPECT_GE(resumed.front(), old.back() - 1500);
            EXPECT_LT(resumed.back(), resumed.front());
        }
        for (const QString& s : sources)
            EXPECT_EQ(readFile(rec.file(s.toStdString())), before[s]);
    }
}
