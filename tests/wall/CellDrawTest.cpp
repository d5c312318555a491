// Pixels drawn by one cell through Mesa under Xvfb, read from its framebuffer.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "WallFrames.h"
#include "wall/CustomYV12Widget.h"

namespace {

class CellDraw : public ::testing::Test {
protected:
    void SetUp() override {
        cell.resize(120, 80);
        cell.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&cell));
    }
    void show(const std::vector<unsigned char>& f, int w, int h) { cell.ShowYV12(f.data(), w, h); }
    QImage grab() { return cell.grabFramebuffer().convertToFormat(QImage::Format_ARGB32); }
    void menuAction(int index) { cell.findChild<QMenu*>()->actions().at(index)->trigger(); }

    CustomYV12Widget cell;
};

int clampByte(double v) {
    return std::clamp(int(v + 0.5), 0, 255);
}

bool bright(QRgb p) {
    return qGreen(p) > 128;
}

TEST_F(CellDraw, NoPictureShowsTheClearColour) {
    const QRgb p = cell.grabFramebuffer().pixel(60, 40);  // raw: alpha is 0
    EXPECT_EQ(qRed(p), 0);
    EXPECT_NEAR(qGreen(p), 128, 1);
    EXPECT_EQ(qBlue(p), 0);
}

TEST_F(CellDraw, UniformBlocksGiveTheShaderColour) {
    const int yuv[][3] = {{16, 128, 128}, {235, 128, 128}, {81, 90, 240}, {145, 54, 34},
                          {41, 240, 110}, {200, 16, 16},   {60, 250, 250}};
    for (const auto& c : yuv) {
        show(makeFrame(8, 6, flat(c[0]), flat(c[1]), flat(c[2])), 8, 6);
        const double y = c[0] / 255.0, u = c[1] / 255.0 - 0.5, v = c[2] / 255.0 - 0.5;
        const QRgb p = grab().pixel(60, 40);
        EXPECT_NEAR(qRed(p), clampByte(255 * (y + 1.13983 * v)), 2) << c[0] << " " << c[1];
        EXPECT_NEAR(qGreen(p), clampByte(255 * (y - 0.39465 * u - 0.58060 * v)), 2) << c[0];
        EXPECT_NEAR(qBlue(p), clampByte(255 * (y + 2.03211 * u)), 2) << c[0];
    }
}

// A 4 x 2 frame, only its first pixel bright, fills the cell top-left first.
TEST_F(CellDraw, SmallFrameStretchesTopRowUpAndMirrors) {
    const auto f = makeFrame(
        4, 2, [](int x, int y) { return x + y == 0 ? 235 : 16; }, flat(128), flat(128));
    show(f, 4, 2);
    QImage img = grab();
    EXPECT_TRUE(bright(img.pixel(2, 2)));
    EXPECT_TRUE(bright(img.pixel(10, 30)));
    EXPECT_FALSE(bright(img.pixel(117, 2)));
    EXPECT_FALSE(bright(img.pixel(2, 77)));
    cell.SetMirror(true);
    img = grab();
    EXPECT_FALSE(bright(img.pixel(2, 2)));
    EXPECT_TRUE(bright(img.pixel(117, 2)));
}

// A bar one eighth wide in luma and chroma stays at one column in every row.
TEST_F(CellDraw, UnalignedAndOddWidthsDrawStraight) {
    const int sizes[][2] = {{6, 4}, {854, 480}, {7, 5}, {853, 479}, {33, 17}};
    for (const auto& s : sizes) {
        const int w = s[0], h = s[1], cw = (w + 1) / 2;
        auto inBar = [](int x, int width) {
            return x >= width / 2 && x < width / 2 + width / 8 + 1;
        };
        show(makeFrame(
                 w, h, [&](int x, int) { return inBar(x, w) ? 200 : 40; }, flat(128),
                 [&](int x, int) { return inBar(x, cw) ? 220 : 128; }),
             w, h);
        const QImage img = grab();
        int firstEdge = -1;
        for (int row = 2; row < img.height() - 2; row += 3) {
            int edge = 0;
            while (edge < img.width() && qRed(img.pixel(edge, row)) < 160)
                ++edge;
            if (firstEdge < 0)
                firstEdge = edge;
            ASSERT_NEAR(edge, firstEdge, 1) << w << "x" << h << " row " << row;
        }
        EXPECT_NEAR(firstEdge, img.width() / 2, img.width() / 8) << w << "x" << h;
    }
}

TEST_F(CellDraw, ClosedDrawsItsTextCentredAndOpenBringsThePictureBack) {
    show(makeFrame(8, 8, flat(235), flat(128), flat(128)), 8, 8);
    menuAction(1);
    QImage img = grab();
    QFont font("Arial", 20, QFont::Bold);
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance("Closed");
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            ASSERT_FALSE(bright(p)) << x << "," << y;  // no picture
            if (qGreen(p) < 64)                        // black text on the clear green
                ink |= QRect(x, y, 1, 1);
        }
    ASSERT_FALSE(ink.isEmpty());
    const int left = (img.width() - textWidth) / 2, base = img.height() / 2;
    EXPECT_GE(ink.left(), left - 1);
    EXPECT_LE(ink.right(), left + textWidth + 1);
    EXPECT_NEAR(ink.center().x(), left + textWidth / 2, 3);
    EXPECT_GE(ink.top(), base - metrics.ascent());
    EXPECT_LE(ink.bottom(), base + metrics.descent());
    EXPECT_GE(ink.bottom(), base - 2);  // sits on the baseline

    show(makeFrame(8, 8, flat(235), flat(128), flat(128)), 8, 8);
    menuAction(0);
    EXPECT_TRUE(bright(grab().pixel(60, 40)));
}

TEST_F(CellDraw, MouseSignalsSwallowTheReleaseEndingADoubleClick) {
    struct Case {
        Qt::MouseButton button;
        std::vector<QEvent::Type> events;
        int press, leftRelease, rightRelease, doubleClick;
    } cases[] = {
        {Qt::LeftButton, {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}, 1, 1, 0, 0},
        {Qt::RightButton, {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}, 0, 0, 1, 0},
        {Qt::LeftButton,
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
          QEvent::MouseButtonRelease},
         1,
         1,
         0,
         1},
        {Qt::RightButton,
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
          QEvent::MouseButtonRelease, QEvent::MouseButtonPress, QEvent::MouseButtonRelease},
         0,
         0,
         2,
         0},
    };
    for (const Case& c : cases) {
        QSignalSpy press(&cell, &CustomYV12Widget::Signal_mouseLButtonPress);
        QSignalSpy left(&cell, &CustomYV12Widget::Signal_mouseLButtonRelease);
        QSignalSpy right(&cell, &CustomYV12Widget::Signal_mouseRButtonRelease);
        QSignalSpy dbl(&cell, &CustomYV12Widget::Signal_mouseLButtonDblClick);
        for (QEvent::Type type : c.events) {
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonRelease ? Qt::NoButton : c.button;
            QMouseEvent event(type, QPointF(10, 10), c.button, held, Qt::NoModifier);
            QApplication::sendEvent(&cell, &event);
        }
        EXPECT_EQ(press.count(), c.press);
        EXPECT_EQ(left.count(), c.leftRelease);
        EXPECT_EQ(right.count(), c.rightRelease);
        EXPECT_EQ(dbl.count(), c.doubleClick);
    }
}

}  // namespace
