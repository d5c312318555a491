// Clips checked against ffmpeg/ffprobe: per stream the clip's packets are a
// run of the source's ending with the last one at or before the end, with
// the source's time base and labels; the clip decodes cleanly; sources stay.
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
QString Shell(const std::string& line) {
    return QString::fromStdString(runCommand({"sh", "-c", line}).out);
}
QString Errors(const std::string& clip) {
    return Shell(ffmpegPath() + " -nostdin -v error -i " + shellQuote(clip) + " -f null - 2>&1");
}
// Per stream: "duration,size,md5" lines and their times in ms.
struct Packets {
    std::map<int, QStringList> lines;
    std::map<int, std::vector<double>> ms;
};
Packets FrameMd5(const std::string& file) {
    Packets p;
    std::map<int, double> tb;
    for (const QString& l : Shell(ffmpegPath() + " -v error -i " + shellQuote(file) +
                                  " -map 0:v -map 0:a? -c copy -f framemd5 -")
                                .split('\n', Qt::SkipEmptyParts)) {
        if (l.startsWith("#tb ")) {
            const QString r = l.section(' ', 2);
            tb[l.section(' ', 1, 1).chopped(1).toInt()] =
                1000 * r.section('/', 0, 0).toDouble() / r.section('/', 1).toDouble();
        } else if (!l.startsWith('#')) {
            const int s = l.section(',', 0, 0).toInt();
            p.lines[s] << l.section(',', 3).simplified();
            p.ms[s].push_back(l.section(',', 2, 2).toDouble() * tb[s]);
        }
    }
    return p;
}
void ExpectCopy(const std::string& source, const std::string& clip, double endMs) {
    const Packets s = FrameMd5(source), c = FrameMd5(clip);
    ASSERT_EQ(s.lines.size(), c.lines.size());
    for (const auto& [n, lines] : c.lines) {
        const QString all = s.lines.at(n).join('\n') + '\n', run = lines.join('\n') + '\n';
        bool found = false;  // a run that ends where the source passes endMs
        for (int at = all.indexOf(run); at >= 0 && !found; at = all.indexOf(run, at + 1)) {
            const size_t last = size_t(all.left(at + run.size()).count('\n')) - 1;
            found = (at == 0 || all[at - 1] == '\n') && s.ms.at(n)[last] <= endMs &&
                    (last + 1 == s.ms.at(n).size() || s.ms.at(n)[last + 1] > endMs);
        }
        EXPECT_TRUE(found) << "stream " << n << " of " << clip;
    }
    const std::string labels =
        " -v error -show_entries stream=codec_name,codec_tag_string,width,"
        "height,sample_rate,channels,time_base -of csv=p=0 ";
    EXPECT_EQ(Shell(ffprobePath() + labels + shellQuote(source) + " | grep -v ^unknown"),
              Shell(ffprobePath() + labels + shellQuote(clip)));
    EXPECT_EQ(Errors(clip), "");
}
std::string Make(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"python3", sourceDir() + "/scripts/fixtures/make_recordings.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), {"--media", testDataDir(), "--out", dir + "/"});
    runCommand(argv);
    return dir + "/" +
           QDir(QString::fromStdString(dir)).entryList({"*.avi"}).value(0).toStdString();
}
ClipCutter::Outcome Cut(const std::string& source, const std::string& folder, int steps = -1) {
    ClipCutter cutter;
    EXPECT_EQ(cutter.Start({1000, 3000, QString::fromStdString(folder), 2, 0},
                           {QString::fromStdString(source)}, {true}),
              1);
    while (steps-- != 0 && cutter.Step()) {
    }
    cutter.Interrupt("stopped");
    return cutter.Outcomes().empty() ? ClipCutter::Outcome{} : cutter.Outcomes()[0];
}
}  // namespace

TEST(ClipCutTest, EverySourceGivesAFaithfulClip) {
    const std::vector<std::vector<std::string>> sources = {
        {"h264_adpcm_ms.avi"},
        {"hevc_adpcm_ms.avi"},
        {"h264_aac.avi"},
        {"h264_stereo_aac.avi"},
        {"h264_adts_aac.avi"},
        {"h264_pcm.avi"},
        {"h264_adpcm_ima.avi"},
        {"h264_yuvj420p.avi"},
        {"single", "--audio", "adpcm_ms"},
        {"single", "--video", "hevc", "--audio", "aac"},
        {"single", "--audio", "none"}};
    for (const auto& row : sources) {
        SCOPED_TRACE(row.back());
        TempDir dir, out;
        std::string source =
            dir.file("20230514083000_NM_0004000_0000100000_0320_0240_25_1_2_01_3.avi");
        if (row.size() == 1)
            QFile::copy(QString::fromStdString(testDataFile(row[0])),
                        QString::fromStdString(source));
        else
            source = Make(dir.path(), row);
        const std::string before = readFile(source);
        const ClipCutter::Outcome clip = Cut(source, out.path());
        ASSERT_TRUE(clip.ok);
        EXPECT_EQ(clip.path.section('_', 3, 3).toLongLong(), QFile(clip.path).size());
        ExpectCopy(source, clip.path.toStdString(), 3000);
        EXPECT_EQ(readFile(source), before);
    }
    TempDir dir;  // cut short: finished with its trailer and size, not reported whole
    const ClipCutter::Outcome cut = Cut(Make(dir.path(), {"single"}), dir.path(), 1);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.path.section('_', 3, 3).toLongLong(), QFile(cut.path).size());
    EXPECT_EQ(Errors(cut.path.toStdString()), "");
}

// The demux drives the cut: one harness run per row, clips in the row's folder.
TEST(ClipCutTest, DemuxCutsAndPlaysOn) {
    TempDir rec;
    Make(rec.path(), {"recording", "--channels", "2", "--duration-ms", "8000"});
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
         {"Policy=2", "500:cut:0:3000:0:4000"},
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
        const std::string folder = (row.what == "own folder" ? rec.path() : out.path()) + "/";
        if (row.what == "disk full" && mount("tmpfs", out.path().c_str(), "tmpfs", 0, "size=64k"))
            continue;
        if (row.what == "own folder")  // channel 2's working name is taken
            QFile(QString::fromStdString(folder) +
                  RecordingName::ClipName(sources[1], 2000, 4000, 0))
                .open(QIODevice::WriteOnly);
        std::string line = ENGINE_HARNESS
                           " --no-end --timeout 2500 --setting /CustomSaveDialog/SavePath=" +
                           folder;
        for (const std::string& a : row.args)
            line += a[0] == '-'                        ? " " + a
                    : a.find('=') != std::string::npos ? " --setting /CustomSaveDialog/" + a
                                                       : " --action " + a;
        for (int ch = 0; ch < 2; ++ch)
            line += " " + std::to_string(ch + 1) + "=" + rec.file(sources[ch].toStdString());
        const QString log = Shell(line + " 2>&1 >" + out.file("play.json"));
        EXPECT_EQ(log.contains("cut SU"), row.done) << log.toStdString();
        EXPECT_EQ(log.contains("Cut Error"), row.error) << log.toStdString();
        const QStringList made = QDir(QString::fromStdString(folder))
                                     .entryList({"*.avi"})
                                     .filter(QRegExp("^(?!" + sources.join('|') + ")"));
        const QStringList clips = made.filter(QRegExp("^(?!.*_0000000000_)"));
        EXPECT_EQ(clips.size(), row.clips) << made.join(' ').toStdString();
        if (row.leftovers >= 0) {
            EXPECT_EQ(made.size() - clips.size(), row.leftovers);
        }
        for (const QString& c : clips) {
            EXPECT_EQ(c.section('_', 0, 0), row.start);
            EXPECT_EQ(c.section('_', 3, 3),
                      QString::number(QFile(QString::fromStdString(folder) + c).size())
                          .rightJustified(10, '0'));
            EXPECT_EQ(Errors(folder + c.toStdString()), "");
        }
        for (const QString& m : made)
            QFile::remove(QString::fromStdString(folder) + m);
        if (row.what == "disk full")
            umount(out.path().c_str());
        for (const QString& s : sources)
            EXPECT_EQ(readFile(rec.file(s.toStdString())), before[s]);
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
    runCommand({ffmpegPath(), "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                "testsrc2=size=1920x1080:duration=15", "-f", "lavfi", "-i",
                "sine=sample_rate=8000:duration=15", "-c:v", "rawvideo", "-pix_fmt", "yuv420p",
                "-c:a", "adpcm_ms", source});
    ClipCutter cutter;
    ASSERT_EQ(cutter.Start({0, 15000, QString::fromStdString(dir.path()), 2, 0},
                           {QString::fromStdString(source)}, {true}),
              1);
    while (cutter.Step()) {
    }
    ASSERT_TRUE(cutter.Outcomes()[0].ok);
    const std::string clip = cutter.Outcomes()[0].path.toStdString();
    EXPECT_GT(QFile(cutter.Outcomes()[0].path).size(), 1 << 30);
    EXPECT_EQ(Shell("grep -c -a -e AVIX -e ix00 " + clip), "2\n");  // lines holding them
    ExpectCopy(source, clip, 15000);
}
