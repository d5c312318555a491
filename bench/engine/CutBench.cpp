// Clip cutting throughput: one cut of 12 channels of 1080p H.264 + MS ADPCM
// by ClipCutter (as the demux drives it, one thread), against `ffmpeg -ss
// -to -c copy` of the same range of the same 12 files, one after another.
// Figures: MB written per second of wall time. One run each.
//
// engine_cut_bench [FOLDER] [FFMPEG]   (FOLDER default /tmp/ordavex-cut-bench)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <array>
#include <cstdio>

#include "engine/ClipCutter.h"

namespace {
constexpr int kChannels = 12;
constexpr int kSeconds = 60;
constexpr qint64 kBeginMs = 5000;
constexpr qint64 kEndMs = 55000;

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitCode() == 0;
}

QString ChannelName(int ch) {
    return QString(
               "20230514083000_NM_0060000_0000100000_1920_1080_25_08000000_0000000088880001_"
               "%1_2305140001.avi")
        .arg(ch, 2, 10, QChar('0'));
}

// The 12 channel files: one encoded source, linked under each channel's name.
bool MakeSources(const QDir& dir, const QString& ffmpeg) {
    const QString source = dir.filePath("source.avi");
    if (!QFileInfo::exists(source) &&
        !Run(ffmpeg, {"-nostdin",
                      "-v",
                      "error",
                      "-f",
                      "lavfi",
                      "-i",
                      QString("testsrc2=size=1920x1080:rate=25:duration=%1").arg(kSeconds),
                      "-f",
                      "lavfi",
                      "-i",
                      QString("sine=sample_rate=8000:duration=%1").arg(kSeconds),
                      "-c:v",
                      "libx264",
                      "-preset",
                      "ultrafast",
                      "-b:v",
                      "8M",
                      "-g",
                      "25",
                      "-c:a",
                      "adpcm_ms",
                      source})) {
        return false;
    }
    for (int ch = 1; ch <= kChannels; ++ch) {
        QFile::link(source, dir.filePath(ChannelName(ch)));
    }
    return true;
}

qint64 FolderBytes(const QDir& dir) {
    qint64 bytes = 0;
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files)) {
        bytes += f.size();
    }
    return bytes;
}

void Report(const char* what, qint64 bytes, qint64 ms) {
    std::printf("%-28s %8.1f MB in %6lld ms: %7.1f MB/s\n", what, bytes / 1e6, ms,
                ms > 0 ? bytes / 1e3 / ms : 0.0);
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QDir dir(args.value(1, "/tmp/ordavex-cut-bench"));
    const QString ffmpeg = args.value(2, "ffmpeg");
    QDir().mkpath(dir.path());
    if (!MakeSources(dir, ffmpeg)) {
        std::fputs("engine_cut_bench: cannot make the sources\n", stderr);
        return 1;
    }
    QDir ours(dir.filePath("ours")), theirs(dir.filePath("ffmpeg"));
    ours.removeRecursively();
    theirs.removeRecursively();
    QDir().mkpath(ours.path());
    QDir().mkpath(theirs.path());

    std::array<QString, kChannels> sources;
    std::array<bool, kChannels> open{};
    for (int ch = 0; ch < kChannels; ++ch) {
        sources[size_t(ch)] = dir.filePath(ChannelName(ch + 1));
        open[size_t(ch)] = true;
    }
    QElapsedTimer clock;
    clock.start();
    ClipCutter cutter;
    cutter.Start({kBeginMs, kEndMs, ours.path(), 0x1FFEu, 0}, sources, open);
    while (cutter.Step()) {
    }
    Report("ClipCutter, 12 channels", FolderBytes(ours), clock.elapsed());

    clock.restart();
    for (int ch = 0; ch < kChannels; ++ch) {
        Run(ffmpeg, {"-nostdin", "-v", "error", "-ss", QString::number(kBeginMs / 1e3), "-to",
                     QString::number(kEndMs / 1e3), "-i", sources[size_t(ch)], "-c", "copy",
                     theirs.filePath(QString("%1.avi").arg(ch + 1))});
    }
    Report("ffmpeg -ss -to -c copy, 12x", FolderBytes(theirs), clock.elapsed());
    return 0;
}
