// Clips against ffmpeg: per stream a run of the source's packets, labels as the source's.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "engine/ClipCutter.h"
#include "engine/RecordingName.h"

using namespace testsupport;

namespace {
const auto Q = [](const std::string& s) { return QString::fromStdString(s); };
const auto Shell = [](const std::string& line) { return Q(runCommand({"sh", "-c", line}).out); };
const auto Errors = [](const QString& clip) {
    return Shell(ffmpegPath() + " -v error -i '" + clip.toStdString() + "' -f null - 2>&1");
};
// Per stream: "duration,size,md5" lines and their times in ms.
using Packets = std::map<int, std::pair<QStringList, std::vector<double>>>;
Packets FrameMd5(const QString& file) {
    Packets p;
    std::map<int, double> tb;
    for (const QString& l : Shell(ffmpegPath() + " -v error -i '" + file.toStdString() +
                                  "' -map 0:v -map 0:a? -c copy -f framemd5 -")
                                .split('\n')) {
        const int s = l.section(',', 0, 0).toInt();
        if (l.startsWith("#tb ")) {
            const QString r = l.section(' ', 2);
            tb[l.section(' ', 1, 1).chopped(1).toInt()] =
                1000 * r.section('/', 0, 0).toDouble() / r.section('/', 1).toDouble();
        } else if (!l.startsWith('#') && !l.isEmpty()) {
            p[s].first << l.section(',', 3).simplified();
            p[s].second.push_back(l.section(',', 2, 2).toDouble() * tb[s]);
        }
    }
    return p;
}
void ExpectCopy(const QString& source, const QString& clip, double endMs) {
    const Packets s = FrameMd5(source), c = FrameMd5(clip);
    ASSERT_EQ(s.size(), c.size());
    for (const auto& [n, packets] : c) {
        const QString all = s.at(n).first.join('\n') + '\n', run = packets.first.join('\n') + '\n';
        const std::vector<double>& ms = s.at(n).second;
        bool found = false;  // a run that ends where the source passes endMs
        for (int at = all.indexOf(run); at >= 0 && !found; at = all.indexOf(run, at + 1)) {
            const size_t last = size_t(all.left(at + run.size()).count('\n')) - 1;
            found = (at == 0 || all[at - 1] == '\n') && ms[last] <= endMs &&
                    (last + 1 == ms.size() || ms[last + 1] > endMs);
        }
        EXPECT_TRUE(found) << "stream " << n << " of " << clip.toStdString();
    }
    const std::string labels =
        " -v error -of csv=p=0 -show_entries stream=codec_name,codec_tag,"
        "width,height,sample_rate,channels,time_base '";
    EXPECT_EQ(Shell(ffprobePath() + labels + source.toStdString() + "' | grep -v ^unknown"),
              Shell(ffprobePath() + labels + clip.toStdString() + "'"));
    EXPECT_EQ(Errors(clip), "");
}
QString Make(const std::string& dir, const QString& args) {
    Shell("python3 " + sourceDir() + "/scripts/fixtures/make_recordings.py " + args.toStdString() +
          " --media " + testDataDir() + " --out " + dir + "/");
    return Q(dir) + "/" + QDir(Q(dir)).entryList({"*.avi"}).value(0);
}
ClipCutter::Outcome Cut(const QString& source, const std::string& folder, qint64 endMs,
                        int steps = -1) {
    ClipCutter cutter;
    EXPECT_EQ(cutter.Start({1000, endMs, Q(folder), 2, 0}, {source}, {true}), 1);
    while (steps-- != 0 && cutter.Step()) {
    }
    cutter.Interrupt("stopped");
    const ClipCutter::Outcome clip = cutter.Outcomes().at(0);
    EXPECT_EQ(clip.path.section('_', 3, 3).toLongLong(), QFile(clip.path).size());  // the real size
    return clip;
}
}  // namespace

TEST(ClipCutTest, EverySourceGivesAFaithfulClip) {
    for (const QString row :
         {"h264_adpcm_ms.avi", "hevc_adpcm_ms.avi", "h264_aac.avi", "h264_stereo_aac.avi",
          "h264_adts_aac.avi", "h264_pcm.avi", "h264_adpcm_ima.avi", "h264_yuvj420p.avi",
          "single --audio adpcm_ms", "single --video hevc --audio aac", "single --audio none"}) {
        SCOPED_TRACE(row.toStdString());
        TempDir dir, out;
        const QString copy =
            Q(dir.file("20230514083000_NM_0004000_0000100000_0320_0240_25_1_2_01_3.avi"));
        const QString source = row.startsWith("single") ? Make(dir.path(), row)
                               : QFile::copy(Q(testDataFile(row.toStdString())), copy) ? copy
                                                                                       : "";
        const ClipCutter::Outcome clip = Cut(source, out.path(), 3000);
        ASSERT_TRUE(clip.ok);
        ExpectCopy(source, clip.path, 3000);
    }
    TempDir dir;  // cut short: finished with its trailer and size, not reported whole
    const ClipCutter::Outcome cut = Cut(Make(dir.path(), "single"), dir.path(), 3000, 1);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(Errors(cut.path), "");
}

// The demux drives the cut: one harness run per row, clips in the row's folder.
TEST(ClipCutTest, DemuxCutsAndPlaysOn) {
    TempDir rec;
    Make(rec.path(), "recording --channels 2 --duration-ms 8000");
    const QStringList sources = QDir(Q(rec.path())).entryList({"*.avi"});
    const auto sums = [&] { return Shell("cd " + rec.path() + " && md5sum *_0008000_*"); };
    const QString before = sums();
    struct Row {
        std::string what, settings, args;  // "/CustomSaveDialog/" keys; harness arguments
        int clips, leftovers;  // finished clips; files still under the working name (-1: any)
        QString log, start;    // "SU": "cut SU", "E": "Cut Error" logged; clips' field 0
    } rows[] = {
        {"names, absent skipped", "Policy=38", "500:cut:2000:6000", 2, 0, "SU", "083002"},
        {"selected only", "Policy=7\\nSelectChannel=1", "500:cut:2000:6000", 1, 0, "SU", "083002"},
        {"to the end", "Policy=6", "500:cut:6000:60000", 2, 0, "SU", "083006"},
        {"second refused", "Policy=2", "500:cut:0:3000:0:4000", 1, 0, "SU E", "083000"},
        {"backward", "Policy=2", "1500:cut:2000:6000 --reverse", 1, 0, "SU", "083002"},
        {"own folder", "Policy=6", "500:cut:2000:6000", 1, 1, "E", "083002"},
        {"disk full", "Policy=6", "500:cut:2000:6000", 0, -1, "E", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir out;
        const QString folder = Q((row.what == "own folder" ? rec.path() : out.path()) + "/");
        if (row.what == "disk full" && mount("tmpfs", out.path().c_str(), "tmpfs", 0, "size=64k"))
            continue;
        if (row.what == "own folder")  // channel 2's working name is taken
            QFile(folder + RecordingName::ClipName(sources[1], 2000, 4000, 0))
                .open(QIODevice::WriteOnly);
        Shell("mkdir -p $XDG_CONFIG_HOME/BRAVELO && printf '[CustomSaveDialog]\\nSavePath=" +
              folder.toStdString() + "\\n" + row.settings +
              "' >$XDG_CONFIG_HOME/BRAVELO/Ordavex.conf");
        QString line = Q(ENGINE_HARNESS " --no-end --timeout 2500 --action " + row.args);
        for (int ch = 0; ch < 2; ++ch)
            line += QString(" %1=%2/%3").arg(ch + 1).arg(Q(rec.path()), sources[ch]);
        const QString log = Shell((line + " 2>&1 >" + Q(out.file("play.json"))).toStdString());
        EXPECT_EQ(log.contains("cut SU"), row.log.contains("SU")) << log.toStdString();
        EXPECT_EQ(log.contains("Cut Error"), row.log.contains("E")) << log.toStdString();
        EXPECT_FALSE(log.contains("Sanitizer")) << log.toStdString();
        const QStringList made =
            QDir(folder).entryList({"*.avi"}).filter(QRegExp("^(?!" + sources.join('|') + ")"));
        const QStringList clips = made.filter(QRegExp("^(?!.*_0000000000_)"));
        EXPECT_EQ(clips.size(), row.clips) << made.join(' ').toStdString();
        EXPECT_TRUE(row.leftovers < 0 || made.size() - clips.size() == row.leftovers);
        for (const QString& c : clips) {
            EXPECT_EQ(c.section('_', 0, 0), "20230514" + row.start);
            EXPECT_EQ(c.section('_', 3, 3).toLongLong(), QFile(folder + c).size());
            EXPECT_EQ(Errors(folder + c), "");
        }
        if (row.what == "disk full")
            umount(out.path().c_str());
        EXPECT_EQ(sums(), before);
        if (row.what != "backward")
            continue;  // plays on backwards from where it was
        const QJsonObject json =
            QJsonDocument::fromJson(QByteArray::fromStdString(readFile(out.file("play.json"))))
                .object();
        std::vector<double> old, resumed;
        for (const QJsonValue& t : json["times"].toArray())
            if (t[1].toDouble() >= 0)
                (t[0].toDouble() < json["actions"][0][0].toDouble() ? old : resumed)
                    .push_back(t[1].toDouble());
        ASSERT_FALSE(old.empty() || resumed.empty());
        EXPECT_NEAR(resumed.front(), old.back(), 1000);  // within the group of pictures
        EXPECT_LT(resumed.back(), resumed.front());
    }
}

// Over 1 GiB the clip goes on in "AVIX" parts with OpenDML indexes.
TEST(ClipCutLargeTest, ClipOverOneGibibyte) {
    TempDir dir;
    const std::string source =
        dir.file("20230514083000_NM_0015000_0000100000_1920_1080_25_1_2_01_3.avi");
    Shell(ffmpegPath() +
          " -v error -f lavfi -i testsrc2=s=1920x1080:d=15 -f lavfi -i sine=r=8000:d=15"
          " -c:v rawvideo -pix_fmt yuv420p -c:a adpcm_ms " +
          source);
    const ClipCutter::Outcome clip = Cut(Q(source), dir.path(), 15000);
    ASSERT_TRUE(clip.ok);
    EXPECT_GT(QFile(clip.path).size(), 1 << 30);
    EXPECT_EQ(Shell("grep -c -a -e AVIX -e ix00 " + clip.path.toStdString()), "2\n");
    ExpectCopy(Q(source), clip.path, 15000);
}

// Sound written after the pictures of its time (here 0.6 s late): the clip
// still holds the sound up to the end, read after the first picture past it.
TEST(ClipCutTest, SoundInterleavedLateIsCutUpToTheEndToo) {
    TempDir dir, out;
    const std::string source =
        dir.file("20230514083000_NM_0004000_0000100000_0320_0240_25_1_2_01_3.avi");
    ASSERT_EQ(ffmpeg({"-f",         "lavfi",
                      "-i",         "testsrc2=s=320x240:r=25:d=4",
                      "-itsoffset", "0.6",
                      "-f",         "lavfi",
                      "-i",         "sine=r=8000:d=4",
                      "-c:v",       "libx264",
                      "-preset",    "ultrafast",
                      "-bf",        "0",
                      "-g",         "25",
                      "-c:a",       "adpcm_ms",
                      "-ac",        "1",
                      source})
                  .exitCode,
              0);
    const ClipCutter::Outcome clip = Cut(Q(source), out.path(), 3000);
    ASSERT_TRUE(clip.ok);
    ExpectCopy(Q(source), clip.path, 3000);
}
