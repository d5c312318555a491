// Snapshots read back with a BMP reader of their own, not Qt's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTest>
#include <cmath>

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
        for (int i = n - 1; i >= 0; --i)
            v = v << 8 | uint8_t(bytes.at(off + i));
        return v;
    }
    int width() const { return int(at(18)); }
    int height() const { return int(at(22)); }  // positive: bottom-up
    // R, G, B of pixel (x, y), y counted from the top.
    std::array<int, 3> rgb(int x, int y) const {
        const size_t stride = (3 * size_t(width()) + 3) / 4 * 4;
        const size_t p = at(10) + (height() - 1 - y) * stride + 3 * x;
        return {uint8_t(bytes.at(p + 2)), uint8_t(bytes.at(p + 1)), uint8_t(bytes.at(p))};
    }
};

QStringList bmpsIn(const QString& folder) {
    return QDir(folder).entryList({"*.bmp"}, QDir::Files, QDir::Name);
}

int digits(const QString& name) {
    return name.mid(14, 3).toInt();
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

int channelByte(double v) {
    return std::clamp(int(v), 0, 255);  // truncated, then clamped
}

TEST(Snapshot, BmpHoldsTheConvertedFrame) {
    testsupport::TempDir tmp;
    struct Case {
        int w, h;
        bool grey;
    } cases[] = {{5, 3, false}, {6, 4, false}, {854, 2, false}, {7, 5, true}};
    uint32_t seed = 1;
    auto next = [&seed](int, int) { return (seed = seed * 1103515245u + 12345u) >> 24; };
    for (const Case& c : cases) {
        const auto f =
            makeFrame(c.w, c.h, next, c.grey ? flat(128) : next, c.grey ? flat(128) : next);
        const QString folder = QString::fromStdString(tmp.path()) + QString("/%1/").arg(c.w);
        CustomYV12Widget cell;
        cell.ShowYV12(f.data(), c.w, c.h);
        cell.Save(folder);
        ASSERT_EQ(bmpsIn(folder).size(), 1) << c.w;
        const Bmp bmp{testsupport::readFile((folder + bmpsIn(folder)[0]).toStdString())};
        ASSERT_EQ(bmp.bytes.substr(0, 2), "BM");
        ASSERT_EQ(bmp.at(28, 2), 24u);
        ASSERT_EQ(bmp.at(30), 0u);
        ASSERT_EQ(bmp.width(), c.w);
        ASSERT_EQ(bmp.height(), c.h);
        ASSERT_GE(bmp.bytes.size(), bmp.at(10) + (3 * size_t(c.w) + 3) / 4 * 4 * c.h);
        const I420Layout l = I420Layout::ForSize(c.w, c.h);
        const double scale = 1.370705 / 1.402;  // the red weight's scale of BT.601
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const double Y = f[y * c.w + x];
                const int k = y / 2 * l.chromaWidth + x / 2;
                const double U = f[l.uOffset + k] - 128.0, V = f[l.vOffset + k] - 128.0;
                const auto p = bmp.rgb(x, y);
                EXPECT_EQ(p[0], channelByte(Y + 1.370705 * V)) << c.w << " " << x << "," << y;
                EXPECT_NEAR(p[1], channelByte(Y - scale * (0.714136 * V + 0.344136 * U)), 1);
                EXPECT_EQ(p[2], channelByte(Y + 1.732446 * U));
                if (c.grey) {
                    EXPECT_TRUE(p[0] == Y && p[1] == Y && p[2] == Y);
                }
            }
    }
}

TEST(Snapshot, NothingToConvertOrUnwritableGivesNoFileNoSignal) {
    testsupport::TempDir tmp;
    const QString folder = QString::fromStdString(tmp.path()) + "/";
    const auto f = makeFrame(4, 4, flat(100), flat(128), flat(128));
    QFile(folder + "file").open(QIODevice::WriteOnly);
    struct Case {
        const unsigned char* frame;
        int w;
        QString folder;
    } cases[] = {{f.data(), 0, folder}, {nullptr, 4, folder}, {f.data(), 4, folder + "file/"}};
    for (const Case& c : cases)
        EXPECT_EQ(snap(c.frame, c.w, 4, c.folder), 0);
    EXPECT_TRUE(bmpsIn(folder).isEmpty());
    std::vector<unsigned char> rgb(48, 7);
    EXPECT_FALSE(Snapshot::yv12torgb24(f.data(), nullptr, f.data(), rgb.data(), 4, 4));
    EXPECT_EQ(rgb[0], 7);

    // A failed save shows no animation; a good one shows the picture.
    auto shown = [] {
        const auto all = QApplication::topLevelWidgets();
        return std::count_if(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); });
    };
    CustomYV12Widget cell;
    cell.ShowYV12(f.data(), 4, 4);
    for (const QString& to : {folder + "file/", folder + "good/"}) {
        const auto before = shown();
        cell.Save(to);
        QTest::qWait(50);
        EXPECT_EQ(shown(), before + (to.endsWith("good/") ? 1 : 0)) << to.toStdString();
    }
}

TEST(Snapshot, WallSavesTheSelectedCellIntoItsChannelFolderWithCountedNames) {
    testsupport::TempDir tmp;
    const QString root = QString::fromStdString(tmp.path()) + "/";
    const auto f = makeFrame(4, 2, flat(90), flat(128), flat(128));
    ScreenCtrl wall;
    for (int channel : {-1, 0, 4, 4, 11, 12})
        wall.SetYUV(channel, mallocFrame(f), 4, 2);
    wall.SetYUV(0, nullptr, 4, 2);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(wall.findChild<CustomYV12Widget*>("uiScreen_5"), &press);
    wall.Save(root);
    const QStringList names = bmpsIn(root + "5/");
    ASSERT_EQ(names.size(), 1);
    EXPECT_TRUE(QRegExp("\\d{17}\\.bmp").exactMatch(names[0]));
    const QDateTime stamp = QDateTime::fromString(names[0].left(14), "yyyyMMddhhmmss");
    EXPECT_LE(std::abs(stamp.secsTo(QDateTime::currentDateTime())), 5);
    int last = digits(names[0]);

    // Taken names step the counter on; nothing is overwritten.
    for (int s = 0; s < 2; ++s) {
        const QString ahead = QDateTime::currentDateTime().addSecs(s).toString("yyyyMMddhhmmss");
        QFile(root + "5/" + ahead + QString::number((last + 1) % 1000).rightJustified(3, '0') +
              ".bmp")
            .open(QIODevice::WriteOnly);
    }
    wall.Save(root);
    QStringList written;
    for (const QString& n : bmpsIn(root + "5/"))
        if (QFileInfo(root + "5/" + n).size() > 0 && n != names[0])
            written << n;
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(digits(written[0]), (last + 2) % 1000);
    last = digits(written[0]);

    // The counter runs on to 999 and wraps to 000.
    bool wrapped = false;
    for (int i = 0; i < 1001 && !wrapped; ++i) {
        const QString folder = root + QString("run%1/").arg(i);
        QDir().mkpath(folder);
        ASSERT_EQ(snap(f.data(), 4, 2, folder), 1);
        const int d = digits(bmpsIn(folder).value(0));
        ASSERT_EQ(d, (last + 1) % 1000);
        wrapped = last == 999 && d == 0;
        last = d;
    }
    EXPECT_TRUE(wrapped);
}

}  // namespace
