// Snapshots read back with a BMP reader of their own, not Qt's.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

#include <thread>

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QTest>

#include "TempDir.h"
#include "TestData.h"
#include "WallFrames.h"
#include "engine/FileNameCodec.h"
#include "wall/CustomYV12Widget.h"
#include "wall/ScreenCtrl.h"
#include "wall/Snapshot.h"

namespace {

struct Bmp {
    std::string bytes;
    uint32_t at(size_t off, int n = 4) const {
        uint32_t v = 0;
        while (n--)
            v = v << 8 | uint8_t(bytes.at(off + n));
        return v;
    }
    // R, G, B of pixel (x, y) counted from the top; rows bottom-up, padded to 4.
    std::array<int, 3> rgb(int x, int y) const {
        const size_t p = at(10) + (at(22) - 1 - y) * ((3 * at(18) + 3) / 4 * 4) + 3 * x;
        return {uint8_t(bytes.at(p + 2)), uint8_t(bytes.at(p + 1)), uint8_t(bytes.at(p))};
    }
};

QStringList bmpsIn(const QString& folder) {
    return QDir(folder).entryList({"*.bmp"}, QDir::Files, QDir::Name);
}

// Runs one snapshot to its end; the number of Signal_Image emitted.
int snap(const unsigned char* frame, int w, int h, const QString& folder) {
    int images = 0;
    {
        Snapshot shot(frame, w, h, folder);
        QObject::connect(&shot, &Snapshot::Signal_Image, [&images] { ++images; });
        shot.Start();
    }  // the destructor waits for the thread
    return images;
}

const auto channelByte = [](double v) { return std::clamp(int(v), 0, 255); };  // truncated

class SnapshotTest : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    const QString root = QString::fromStdString(tmp.path()) + "/";
};

TEST_F(SnapshotTest, BmpHoldsTheConvertedFrame) {
    uint32_t seed = 1;
    PlaneFill noise = [&seed](int, int) { return (seed = seed * 1103515245u + 12345u) >> 24; };
    for (auto [w, h, grey] :
         {std::tuple(5, 3, false), {6, 4, false}, {854, 2, false}, {7, 5, true}}) {
        const auto f = makeFrame(w, h, noise, grey ? flat(128) : noise, grey ? flat(128) : noise);
        const QString folder = root + QString("%1/").arg(w);
        CustomYV12Widget cell;
        cell.ShowYV12(f.data(), w, h);
        cell.Save(folder);
        ASSERT_EQ(bmpsIn(folder).size(), 1) << w;
        const Bmp bmp{testsupport::readFile((folder + bmpsIn(folder)[0]).toStdString())};
        ASSERT_EQ(bmp.bytes.substr(0, 2), "BM");
        ASSERT_EQ(std::vector<uint32_t>({bmp.at(18), bmp.at(22), bmp.at(28, 2), bmp.at(30)}),
                  std::vector<uint32_t>({uint32_t(w), uint32_t(h), 24, 0}));
        ASSERT_GE(bmp.bytes.size(), bmp.at(10) + (3 * w + 3) / 4 * 4 * h);
        const I420Layout l = I420Layout::ForSize(w, h);
        const double scale = 1.370705 / 1.402;  // BT.601 at the red weight's scale
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int Y = f[y * w + x], k = y / 2 * l.chromaWidth + x / 2;
                const double U = f[l.uOffset + k] - 128.0, V = f[l.vOffset + k] - 128.0;
                const auto p = bmp.rgb(x, y);
                EXPECT_EQ(p[0], channelByte(Y + 1.370705 * V)) << w << " " << x << "," << y;
                EXPECT_NEAR(p[1], channelByte(Y - scale * (0.714136 * V + 0.344136 * U)), 1);
                EXPECT_EQ(p[2], channelByte(Y + 1.732446 * U));
                EXPECT_TRUE(!grey || p == (std::array<int, 3>{Y, Y, Y}));
            }
    }
}

TEST_F(SnapshotTest, NothingToConvertOrUnwritableGivesNoFileSignalOrAnimation) {
    const auto f = makeFrame(4, 4, flat(100));
    QFile(root + "file").open(QIODevice::WriteOnly);
    EXPECT_EQ(snap(f.data(), 0, 4, root), 0);
    EXPECT_EQ(snap(nullptr, 4, 4, root), 0);
    EXPECT_EQ(snap(f.data(), 4, 4, root + "file/"), 0);
    EXPECT_TRUE(bmpsIn(root).isEmpty());
    std::vector<unsigned char> rgb(48, 7);
    EXPECT_TRUE(!Snapshot::yv12torgb24(f.data(), nullptr, f.data(), rgb.data(), 4, 4) &&
                rgb[0] == 7);
    CustomYV12Widget cell;  // a failed save shows no animation, a good one the picture
    cell.ShowYV12(f.data(), 4, 4);
    for (const QString& to : {root + "file/", root + "good/"}) {
        cell.Save(to);
        QTest::qWait(50);
        EXPECT_EQ(cell.findChildren<QLabel*>().size(), int(to.endsWith("good/")));
    }
}

TEST_F(SnapshotTest, WallSavesTheSelectedCellUnderCountedNamesThatNeverOverwrite) {
    const auto f = makeFrame(4, 2, flat(90));
    ScreenCtrl wall;
    for (int channel : {-1, 0, 4, 4, 11, 12})  // freed once each, also out of range
        wall.SetYUV(channel, mallocFrame(f), 4, 2);
    wall.SetYUV(0, nullptr, 4, 2);
    QMouseEvent press(QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(wall.findChild<CustomYV12Widget*>("uiScreen_5"), &press);
    wall.Save(root);
    const QString folder = root + "5/";
    const QString first = bmpsIn(folder).value(0);
    ASSERT_TRUE(QRegExp("\\d{17}\\.bmp").exactMatch(first)) << first.toStdString();
    const qint64 age = QDateTime::fromString(first.left(14), "yyyyMMddhhmmss")
                           .secsTo(QDateTime::currentDateTime());
    EXPECT_TRUE(age >= 0 && age <= 5);
    int last = first.mid(14, 3).toInt();
    // The next name is taken (this second and the next): the counter steps on.
    const QString taken = QString::number((last + 1) % 1000).rightJustified(3, '0') + ".bmp";
    for (int s = 0; s < 2; ++s)
        QFile(folder + QDateTime::currentDateTime().addSecs(s).toString("yyyyMMddhhmmss") + taken)
            .open(QIODevice::WriteOnly);
    wall.Save(root);
    int empty = 0, stepped = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList({"*.bmp"})) {
        empty += file.size() == 0;
        stepped += file.fileName().mid(14, 3).toInt() == (last + 2) % 1000 && file.size() > 0;
    }
    EXPECT_TRUE(empty == 2 && stepped == 1);
    last = (last + 2) % 1000;
    // 000, 001, ... 999, then 000 again.
    for (int i = 0, wrapped = 0; !wrapped && i <= 1000; ++i) {  // consecutive, so it wraps
        const QString one = root + QString("run%1/").arg(i);
        QDir().mkpath(one);
        ASSERT_EQ(snap(f.data(), 4, 2, one), 1);
        const int d = bmpsIn(one).value(0).mid(14, 3).toInt();
        ASSERT_EQ(d, (last + 1) % 1000);
        wrapped = last == 999 && d == 0;
        last = d;
    }
}

// Every entry of folder, hidden ones too.
QStringList entriesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// A disk too small for the picture: no file, not even a part of one, and no
// signal; a picture that fits is saved whole.
TEST_F(SnapshotTest, FullDiskLeavesNoFile) {
    const QString disk = root + "disk/";
    QDir().mkpath(disk);
    if (mount("tmpfs", disk.toUtf8().constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "this machine does not let the test mount a small tmpfs";
    const auto big = makeFrame(200, 200, flat(60));  // a 120,054-byte BMP
    EXPECT_EQ(snap(big.data(), 200, 200, disk), 0);
    EXPECT_EQ(entriesIn(disk).join(" ").toStdString(), "");
    const auto small = makeFrame(4, 2, flat(60));
    EXPECT_EQ(snap(small.data(), 4, 2, disk), 1);
    const QStringList saved = entriesIn(disk);
    EXPECT_TRUE(saved.size() == 1 && QFileInfo(disk + saved.value(0)).size() == 54 + 2 * 12);
    umount(disk.toUtf8().constData());
}

// The folder is removed by another thread as soon as something is created in
// it, while the large picture is still being written.
TEST_F(SnapshotTest, FolderRemovedWhileWritingLeavesNoFileAndNoSignal) {
    const QString folder = root + "going/";
    QDir().mkpath(folder);
    const int watch = inotify_init();
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder.toUtf8().constData(), IN_CREATE), 0);
    std::thread remover([&] {
        char event[4096];
        if (read(watch, event, sizeof event) > 0)
            QDir(folder).removeRecursively();
    });
    const auto f = makeFrame(4000, 3000, flat(60));  // 36 MB to write
    const int images = snap(f.data(), 4000, 3000, folder);
    if (QDir(folder).exists())
        QFile(folder + ".wake").open(QIODevice::WriteOnly);  // nothing was created
    remover.join();
    close(watch);
    EXPECT_EQ(images, 0);
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_EQ(entriesIn(root).join(" ").toStdString(), "");
}

// A folder name that holds "%1" or "%2" is kept as it is.
TEST_F(SnapshotTest, FolderWithPercentSigns) {
    const auto f = makeFrame(4, 2, flat(90));
    ScreenCtrl wall;
    wall.SetYUV(4, mallocFrame(f), 4, 2);
    QMouseEvent press(QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(wall.findChild<CustomYV12Widget*>("uiScreen_5"), &press);
    wall.Save(root + "a%2b%1/");
    EXPECT_EQ(bmpsIn(root + "a%2b%1/5/").size(), 1)
        << QDir(root).entryList().join(' ').toStdString();
}

// A folder whose name is not UTF-8 (Latin-1 "caf\xe9") takes the picture.
TEST_F(SnapshotTest, LatinOneFolder) {
    FileNameCodec::Install();
    const std::string bytes = tmp.path() + "/caf\xe9";
    ASSERT_EQ(mkdir(bytes.c_str(), 0755), 0);
    const auto f = makeFrame(4, 2, flat(90));
    QString saved;
    {
        Snapshot shot(f.data(), 4, 2, QFile::decodeName(bytes.c_str()) + "/");
        QObject::connect(&shot, &Snapshot::Signal_Image, [&saved](const QString& n) { saved = n; });
        shot.Start();
    }
    QTest::qWait(10);
    const QByteArray name = QFile::encodeName(saved);
    EXPECT_TRUE(name.startsWith(QByteArray::fromStdString(bytes + "/"))) << name.toStdString();
    struct stat st {};
    EXPECT_TRUE(stat(name.constData(), &st) == 0 && st.st_size == 54 + 2 * 12);
}

}  // namespace
