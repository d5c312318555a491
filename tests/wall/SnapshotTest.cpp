// Snapshots read back with a BMP reader of their own, not Qt's.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QTest>

#include "TempDir.h"
#include "TestData.h"
#include "WallFrames.h"
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

}  // namespace
