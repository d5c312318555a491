// The whole player started as a user starts it (bin/Ordavex, fresh home):
// time from process start to its window and from the double-click on a
// 12-channel recording to its first frame, with the page cache of the program
// and the recording dropped (cold) and kept (warm); then the peak resident
// memory while it plays 12 x 1080p forwards and backwards. Run under Xvfb
// (the variable for root):
//   bash scripts/with-xvfb.sh env QTWEBENGINE_DISABLE_SANDBOX=1 build-bench/bin/program_bench
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>

#include "Command.h"
#include "PlayerDriver.h"
#include "TempDir.h"
#include "TestData.h"

namespace {

using Window = PlayerDriver::Window;
constexpr int kPlayMs = 8000;

// Drops the page cache of every file under path (clean pages only; no root needed).
void evict(const QString& path) {
    QStringList files{path};
    for (const QFileInfo& f : QDir(path).entryInfoList(QDir::Files))
        files << f.filePath();
    for (const QString& file : files) {
        const int fd = ::open(file.toLocal8Bit().constData(), O_RDONLY);
        if (fd >= 0) {
            posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

// Ordavex at size, 20 s: ffmpeg's file under the recorder's names of channels 1 to 12.
bool makeRecording(const QString& folder, const char* size) {
    const std::string source = folder.toStdString() + "/source.avi";
    if (testsupport::ffmpeg({"-f", "lavfi", "-i",
                             std::string("testsrc2=size=") + size + ":rate=25:duration=20", "-c:v",
                             "libx264", "-preset", "veryfast", "-g", "25", "-bf", "0", source})
            .exitCode != 0)
        return false;
    const QString width = QString(size).section('x', 0, 0);
    const QString height = QString(size).section('x', 1, 1).rightJustified(4, '0');
    for (int ch = 1; ch <= 12; ++ch) {
        const QString name = QString(
                                 "%1/20230514083000_NM_0020000_0001000000_%2_%3_25_04000000_"
                                 "0000000088880001_%4_2305140001_00_642_0000000_V02_000_E08_0.avi")
                                 .arg(folder, width, height)
                                 .arg(ch, 2, 10, QChar('0'));
        if (!QFile::copy(QString::fromStdString(source), name))
            return false;
    }
    return QFile::remove(QString::fromStdString(source));
}

struct Run {
    qint64 windowMs = -1;  // process start to a visible window
    qint64 frameMs = -1;   // double-click to the first frame on the large cell
    qint64 peakKiB = -1;   // VmHWM after playing forwards and backwards
};

qint64 peakKiB(qint64 pid) {
    const QString status =
        QString::fromStdString(testsupport::readFile("/proc/" + std::to_string(pid) + "/status"));
    return status.section("VmHWM:", 1).trimmed().section(' ', 0, 0).toLongLong();
}

// Positions are those of the 1200 x 800 window in English.
Run play(const QString& folder, bool backwards) {
    PlayerDriver driver;
    driver.store()->setValue("/CustomSearchList/rootDir", folder);
    Run run;
    QElapsedTimer timer;
    timer.start();
    const Window window = driver.start(ORDAVEX_PROGRAM);
    run.windowMs = window ? timer.elapsed() : -1;
    if (!window)
        return run;
    QTest::qWait(1500);
    const QRect cell(200, 150, 160, 120);
    const QImage empty = driver.grab(window, cell);
    driver.click(window, 782, 29);  // "Open File", then take the stored folder
    driver.waitForWindow(driver.process().processId(), "Open Directory", 10000);
    driver.key("Return");
    QTest::qWait(1000);
    timer.start();
    driver.click(window, 830, 120, 2);
    if (QTest::qWaitFor([&] { return driver.grab(window, cell) != empty; }, 20000))
        run.frameMs = timer.elapsed();
    if (backwards) {
        QTest::qWait(kPlayMs);
        driver.click(window, 212, 770);  // backwards
        QTest::qWait(kPlayMs);
        run.peakKiB = peakKiB(driver.process().processId());
    }
    driver.close(window);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testsupport::TempDir small;
    testsupport::TempDir large;
    const QString smallDir = QString::fromStdString(small.path());
    const QString largeDir = QString::fromStdString(large.path());
    if (!makeRecording(smallDir, "320x240") || !makeRecording(largeDir, "1920x1080")) {
        std::fprintf(stderr, "could not make the recordings\n");
        return 1;
    }
    for (int i = 0; i < 3; ++i) {
        evict(smallDir);
        evict(ORDAVEX_PROGRAM);
        const Run cold = play(smallDir, false);
        const Run warm = play(smallDir, false);
        std::printf(
            "12 x 320x240: cold window %lld ms, frame %lld ms; warm window %lld ms, frame %lld "
            "ms\n",
            cold.windowMs, cold.frameMs, warm.windowMs, warm.frameMs);
    }
    for (int i = 0; i < 2; ++i) {
        const Run big = play(largeDir, true);
        std::printf("12 x 1920x1080: window %lld ms, frame %lld ms, peak RSS %lld MiB\n",
                    big.windowMs, big.frameMs, big.peakKiB / 1024);
    }
    return 0;
}
