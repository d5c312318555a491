// Clips against ffmpeg: per stream a run of the source's packets, labels as the source's.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <thread>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Command.h"
#include "TempDir.h"
#include "TestData.h"
#include "engine/ClipCutter.h"
#include "engine/FileNameCodec.h"
#include "engine/RecordingName.h"

using namespace testsupport;

namespace {
const auto Q = [](const std::string& s) { return QString::fromStdString(s); };
const auto Shell = [](const std::string& line) { return Q(runCommand({"sh", "-c", line}).out); };
const auto Errors = [](const QString& clip) {
    return Q(runCommand({"sh", "-c", "\"$0\" -v error -i \"$1\" -f null - 2>&1", ffmpegPath(),
                         QFile::encodeName(clip).toStdString()})
                 .out);
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
        {"disk full", "Policy=6", "500:cut:2000:6000", 0, 0, "E", ""},
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

namespace {
// Debug lines logged while an object lives.
class Log {
public:
    Log() { previous = qInstallMessageHandler(&Log::Keep); }
    ~Log() {
        qInstallMessageHandler(previous);
        lines().clear();
    }
    bool Has(const QString& text) const { return lines().join('\n').contains(text); }
    std::string Text() const { return lines().join('\n').toStdString(); }

private:
    static QStringList& lines() {
        static QStringList all;
        return all;
    }
    static void Keep(QtMsgType, const QMessageLogContext&, const QString& line) { lines() << line; }
    QtMessageHandler previous;
};

QString Md5(const QString& file) {
    return Q(runCommand({"md5sum", QFile::encodeName(file).toStdString()}).out.substr(0, 32));
}
// Every file under folder, recursively, hidden ones too.
std::string FilesUnder(const std::string& folder) {
    return runCommand({"sh", "-c", "cd \"$0\" && find . -type f | sort", folder}).out;
}
// Video length of a file in ms, from ffprobe's packet count.
qint64 VideoMs(const QString& file) {
    const QStringList f = Shell(ffprobePath() +
                                " -v error -count_packets -select_streams v:0 -of csv=p=0"
                                " -show_entries stream=time_base,nb_read_packets '" +
                                QFile::encodeName(file).toStdString() + "'")
                              .trimmed()
                              .split(',');
    return f.value(1).toLongLong() * 1000 * f.value(0).section('/', 0, 0).toLongLong() /
           f.value(0).section('/', 1).toLongLong();
}
// Video chunks ("00dc") that the file holds whole, walking its "movi" list.
qint64 WholeVideoFrames(const QString& file) {
    const char* walk =
        "import struct,sys\n"
        "d=open(sys.argv[1],'rb').read(); i=d.find(b'movi')+4; n=0\n"
        "while i+8<=len(d):\n"
        "    size=struct.unpack('<I',d[i+4:i+8])[0]\n"
        "    if d[i:i+4]==b'LIST': i+=12; continue\n"
        "    if i+8+size>len(d): break\n"
        "    n+=d[i:i+4]==b'00dc'; i+=8+size+(size&1)\n"
        "print(n)\n";
    return std::stoll(
        runCommand({"python3", "-c", walk, QFile::encodeName(file).toStdString()}).out);
}
// Other bytes under the same name and size, the file's own rotated by an odd
// count: written in place (same inode), or as a new file renamed over it.
bool Replace(const QString& file, bool renamed) {
    QFile in(file), out(renamed ? file + ".new" : file);
    const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    if (bytes.size() < 8192 || !out.open(renamed ? QIODevice::WriteOnly : QIODevice::ReadWrite) ||
        out.write(bytes.mid(4099) + bytes.left(4099)) != bytes.size() || !out.flush())
        return false;
    return !renamed || rename(QFile::encodeName(out.fileName()), QFile::encodeName(file)) == 0;
}
ClipCutter::Outcome CutAll(ClipCutter& cutter, const QString& source, const QString& folder,
                           qint64 beginMs, qint64 endMs) {
    EXPECT_EQ(cutter.Start({beginMs, endMs, folder, 2, 0}, {source}, {true}), 1);
    while (cutter.Step()) {
    }
    return cutter.Outcomes().empty() ? ClipCutter::Outcome{} : cutter.Outcomes().front();
}
}  // namespace

// The folder goes while the clip is written: no file anywhere, and a failure.
TEST(ClipCutFaultTest, FolderRemovedDuringTheCut) {
    TempDir dir, out;
    const QString source = Make(dir.path(), "single --duration-ms 8000");
    const QString sum = Md5(source), folder = Q(out.path()) + "/clips/";
    QDir().mkpath(folder);
    Log log;
    ClipCutter cutter;
    ASSERT_EQ(cutter.Start({0, 7000, folder, 2, 0}, {source}, {true}), 1);
    ASSERT_TRUE(cutter.Step());
    ASSERT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);  // being written
    std::thread([&] { QDir(folder).removeRecursively(); }).join();
    while (cutter.Step()) {
    }
    const ClipCutter::Outcome clip = cutter.Outcomes().at(0);
    EXPECT_FALSE(clip.ok);
    EXPECT_TRUE(clip.path.isEmpty()) << clip.path.toStdString();
    EXPECT_FALSE(log.Has("cut SU")) << log.Text();
    EXPECT_TRUE(log.Has("Cut Error")) << log.Text();
    EXPECT_EQ(FilesUnder(out.path()), "");
    EXPECT_EQ(Md5(source), sum);
}

// The final name is another file's: it stays as it was, and the cut fails
// rather than leaving a clip the list cannot show.
TEST(ClipCutFaultTest, FinalNameTaken) {
    TempDir dir, first, second;
    const QString source = Make(dir.path(), "single");
    ClipCutter once;
    const ClipCutter::Outcome made = CutAll(once, source, Q(first.path()), 1000, 3000);
    ASSERT_TRUE(made.ok);
    const QString taken = Q(second.path()) + "/" + QFileInfo(made.path).fileName();
    QFile other(taken);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly) && other.write("keep me") == 7);
    other.close();
    Log log;
    ClipCutter again;
    const ClipCutter::Outcome clip = CutAll(again, source, Q(second.path()), 1000, 3000);
    EXPECT_FALSE(clip.ok);
    EXPECT_FALSE(log.Has("cut SU")) << log.Text();
    EXPECT_TRUE(log.Has("Cut Error")) << log.Text();
    EXPECT_EQ(FilesUnder(second.path()), "./" + QFileInfo(taken).fileName().toStdString() + "\n");
    EXPECT_EQ(readFile(taken.toStdString()), "keep me");
}

// The name states the length the clip has; a source that ends early gives a
// shorter clip, which is still a success.
TEST(ClipCutFaultTest, NameStatesTheRealLength) {
    TempDir dir;
    const QString whole = Make(dir.path(), "single");
    const QString shortSource =
        Q(dir.file("20230514083000_NM_0004000_0000100000_0320_0240_25_1_2_"
                   "01_short.avi"));
    ASSERT_TRUE(QFile::copy(whole, shortSource));
    ASSERT_TRUE(QFile(shortSource).resize(QFile(whole).size() * 6 / 10));  // no index, less data
    const struct {
        std::string what;
        QString source;
        qint64 beginMs, endMs;
        bool shorter;
    } rows[] = {
        {"in range", whole, 0, 2000, false},
        {"past the end", whole, 0, 800000, true},
        {"source cut short", shortSource, 0, 3500, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir out;
        const QString sum = Md5(row.source);
        Log log;
        ClipCutter cutter;
        const ClipCutter::Outcome clip =
            CutAll(cutter, row.source, Q(out.path()), row.beginMs, row.endMs);
        ASSERT_TRUE(clip.ok) << log.Text();
        EXPECT_TRUE(log.Has("cut SU"));
        const qint64 length = clip.path.section('/', -1).section('_', 2, 2).toLongLong();
        // Begins are at key frames: the clip holds the source's whole frames.
        const qint64 whole = WholeVideoFrames(row.source) * 40;  // 25 fps
        EXPECT_EQ(length, row.shorter ? whole - row.beginMs : row.endMs - row.beginMs);
        if (row.shorter) {
            EXPECT_EQ(VideoMs(clip.path), whole - row.beginMs);
        }
        EXPECT_EQ(clip.path.section('_', 3, 3).toLongLong(), QFile(clip.path).size());
        EXPECT_EQ(Errors(clip.path), "");
        EXPECT_EQ(Md5(row.source), sum);
    }
}

// Faults from outside while clips are written: each clip is either whole
// under its final name (real length and size) and a success, or a failure
// that left nothing; sources the cut only reads keep their bytes.
TEST(ClipCutFaultTest, EveryFaultEndsWholeOrWithNothing) {
    FileNameCodec::Install();
    enum Fault { FullDisk, SourceTruncated, LatinOneNames, SourceOverwritten, SourceRenamedOver };
    for (const Fault fault :
         {FullDisk, SourceTruncated, LatinOneNames, SourceOverwritten, SourceRenamedOver}) {
        SCOPED_TRACE(int(fault));
        TempDir dir, out;
        QString source = Make(dir.path(), "single --duration-ms 8000");
        std::string folder = out.path();
        if (fault == FullDisk && mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
            std::cout << "skipped: this machine does not let the test mount a small tmpfs\n";
            continue;
        }
        if (fault == LatinOneNames) {
            folder += "/d\xe9p\xf4t";
            const std::string from = dir.path() + "/caf\xe9";
            ASSERT_TRUE(mkdir(folder.c_str(), 0755) == 0 && mkdir(from.c_str(), 0755) == 0);
            const std::string name = QFileInfo(source).fileName().chopped(4).toStdString();
            const std::string moved = from + "/" + name + "_\xe9t\xe9.avi";
            ASSERT_EQ(rename(QFile::encodeName(source).constData(), moved.c_str()), 0);
            source = QFile::decodeName(moved.c_str());
        }
        const QString sum = Md5(source);
        Log log;
        ClipCutter cutter;
        ASSERT_EQ(
            cutter.Start({0, 7000, QFile::decodeName(folder.c_str()), 2, 0}, {source}, {true}), 1);
        cutter.Step();
        if (fault == SourceTruncated)
            std::thread([&] { QFile(source).resize(QFile(source).size() / 3); }).join();
        const bool replaced = fault >= SourceOverwritten;  // the clip would mix two files' bytes
        if (replaced) {
            ASSERT_TRUE(cutter.Active());  // while the source is read
            std::thread([&] { EXPECT_TRUE(Replace(source, fault == SourceRenamedOver)); }).join();
        }
        while (cutter.Step()) {
        }
        const ClipCutter::Outcome clip = cutter.Outcomes().at(0);
        const std::string made = FilesUnder(folder);
        if (clip.ok) {
            const std::string name = QFile::encodeName(clip.path).toStdString();
            EXPECT_EQ(made, "./" + name.substr(folder.size() + 1) + "\n");
            EXPECT_TRUE(log.Has("cut SU"));
            EXPECT_EQ(clip.path.section('_', 3, 3).toLongLong(), QFile(clip.path).size());
            const qint64 length = clip.path.section('/', -1).section('_', 2, 2).toLongLong();
            EXPECT_TRUE(length == 7000 || length == VideoMs(clip.path)) << length;
            EXPECT_EQ(Errors(clip.path), "");
        } else {
            EXPECT_EQ(made, "");
            EXPECT_TRUE(log.Has("Cut Error") && !log.Has("cut SU")) << log.Text();
        }
        EXPECT_EQ(Md5(source) == sum, fault != SourceTruncated && !replaced);
        EXPECT_EQ(log.Has("the source shrank during the cut"), fault == SourceTruncated);
        EXPECT_EQ(log.Has("the source was replaced during the cut"), replaced) << log.Text();
        EXPECT_EQ(clip.ok, fault == LatinOneNames) << log.Text();
        if (fault == FullDisk)
            umount(folder.c_str());
    }
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
