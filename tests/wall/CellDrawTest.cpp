// Pixels drawn by one cell through Mesa under Xvfb, read from its framebuffer.
#include <gtest/gtest.h>

#include <QMenu>
#include <QPainter>
#include <QTest>

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
    QImage show(int w, int h, PlaneFill y, PlaneFill u = flat(128), PlaneFill v = flat(128)) {
        cell.ShowYV12(makeFrame(w, h, y, u, v).data(), w, h);
        return cell.grabFramebuffer();
    }
    CustomYV12Widget cell;
};

const auto toByte = [](double v) { return std::clamp(int(v * 255 + 0.5), 0, 255); };
const auto bright = [](QRgb p) { return qGreen(p) > 128; };

TEST_F(CellDraw, ColoursFollowTheShaderAndNoPictureShowsTheClearColour) {
    EXPECT_EQ(cell.grabFramebuffer().pixel(60, 40) & 0xffffff, 0x008000u);
    const int yuv[][3] = {{16, 128, 128}, {235, 128, 128}, {81, 90, 240}, {145, 54, 34},
                          {41, 240, 110}, {200, 16, 16},   {60, 250, 250}};
    for (const auto& c : yuv) {
        const QRgb p = show(8, 6, flat(c[0]), flat(c[1]), flat(c[2])).pixel(60, 40);
        const double y = c[0] / 255.0, u = c[1] / 255.0 - 0.5, v = c[2] / 255.0 - 0.5;
        EXPECT_NEAR(qRed(p), toByte(y + 1.13983 * v), 2) << c[0];
        EXPECT_NEAR(qGreen(p), toByte(y - 0.39465 * u - 0.58060 * v), 2) << c[0];
        EXPECT_NEAR(qBlue(p), toByte(y + 2.03211 * u), 2) << c[0];
    }
}

// A 4 x 2 frame whose first pixel alone is bright fills the cell from the top left.
TEST_F(CellDraw, SmallFrameStretchesTopRowUpAndMirrors) {
    for (bool mirror : {false, true}) {
        cell.SetMirror(mirror);
        const QImage img = show(4, 2, [](int x, int y) { return x + y ? 16 : 235; });
        EXPECT_NE(bright(img.pixel(2, 2)) || bright(img.pixel(10, 30)), mirror);
        EXPECT_EQ(bright(img.pixel(117, 2)), mirror);
        EXPECT_FALSE(bright(img.pixel(2, 77)) || bright(img.pixel(117, 77)));
    }
}

// A bar in luma and chroma keeps one left edge in every row.
TEST_F(CellDraw, UnalignedAndOddWidthsDrawStraight) {
    for (const auto& [w, h] : {std::pair(6, 4), {854, 480}, {7, 5}, {853, 479}, {33, 17}}) {
        auto bar = [](int x, int width) { return x >= width / 2 && x <= width / 2 + width / 8; };
        const QImage img = show(
            w, h, [bar, w = w](int x, int) { return bar(x, w) ? 200 : 40; }, flat(128),
            [bar, cw = (w + 1) / 2](int x, int) { return bar(x, cw) ? 220 : 128; });
        int first = -1;
        for (int row = 2; row < img.height() - 2; row += 3) {
            int edge = 0;
            while (edge < img.width() && qRed(img.pixel(edge, row)) < 160)
                ++edge;
            first = first < 0 ? edge : first;
            ASSERT_NEAR(edge, first, 1) << w << "x" << h << " row " << row;
        }
        EXPECT_NEAR(first, img.width() / 2, img.width() / 8) << w << "x" << h;
    }
}

TEST_F(CellDraw, ClosedDrawsItsTextCentredAndOpenBringsThePictureBack) {
    cell.findChild<QMenu*>()->actions().at(1)->trigger();  // "Close"
    const QImage img = show(8, 8, flat(235));
    const QFontMetrics metrics(QFont("Arial", 20, QFont::Bold));
    const int textWidth = metrics.horizontalAdvance("Closed");
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            ASSERT_FALSE(bright(img.pixel(x, y))) << x << "," << y;  // no picture
            ink |= qGreen(img.pixel(x, y)) < 64 ? QRect(x, y, 1, 1) : QRect();
        }
    const int left = (img.width() - textWidth) / 2, base = img.height() / 2;
    EXPECT_TRUE(ink.left() >= left - 1 && ink.right() <= left + textWidth + 1);
    EXPECT_NEAR(ink.center().x(), left + textWidth / 2, 3);
    EXPECT_TRUE(ink.top() >= base - metrics.ascent() && ink.bottom() <= base + metrics.descent());
    EXPECT_GE(ink.bottom(), base - 2);                     // on the baseline
    cell.findChild<QMenu*>()->actions().at(0)->trigger();  // "Open"
    EXPECT_TRUE(bright(cell.grabFramebuffer().pixel(60, 40)));
}

// P press, R release, D double click; the release after a double click is silent.
TEST_F(CellDraw, MouseSignalsSwallowTheReleaseEndingADoubleClick) {
    using Counts = std::array<int, 4>;  // press, left release, right release, double click
    Counts counts{};
    int i = 0;
    for (auto signal : {&CustomYV12Widget::Signal_mouseLButtonPress,
                        &CustomYV12Widget::Signal_mouseLButtonRelease,
                        &CustomYV12Widget::Signal_mouseRButtonRelease,
                        &CustomYV12Widget::Signal_mouseLButtonDblClick})
        QObject::connect(&cell, signal, [&counts, n = i++] { ++counts[n]; });
    const std::tuple<Qt::MouseButton, const char*, Counts> cases[] = {
        {Qt::LeftButton, "PR", {1, 1, 0, 0}},
        {Qt::RightButton, "PR", {0, 0, 1, 0}},
        {Qt::LeftButton, "PRDR", {1, 1, 0, 1}},
        {Qt::RightButton, "PRDRPR", {0, 0, 2, 0}}};
    for (const auto& [button, events, expected] : cases) {
        counts = {};
        for (const char* e = events; *e; ++e) {
            const auto type = *e == 'P'   ? QEvent::MouseButtonPress
                              : *e == 'D' ? QEvent::MouseButtonDblClick
                                          : QEvent::MouseButtonRelease;
            QMouseEvent event(type, QPointF(9, 9), button, button, Qt::NoModifier);
            QApplication::sendEvent(&cell, &event);
        }
        EXPECT_EQ(counts, expected) << events;
    }
}

// "Closed" sits where the raster engine puts the same text: centred, its
// baseline on the middle row (the GL cell may differ by a pixel of rounding).
TEST_F(CellDraw, ClosedTextLiesWhereTheRasterEngineDrawsIt) {
    cell.findChild<QMenu*>()->actions().at(1)->trigger();  // "Close"
    const QImage img = cell.grabFramebuffer();
    QImage ref(img.size(), QImage::Format_RGB32);
    ref.fill(Qt::white);
    {
        QPainter painter(&ref);
        painter.setFont(QFont("Arial", 20, QFont::Bold));
        painter.setPen(Qt::black);
        const int textWidth = painter.fontMetrics().horizontalAdvance("Closed");
        painter.drawText((ref.width() - textWidth) / 2, ref.height() / 2, "Closed");
    }
    // Pixels at least half covered by the text, on either background.
    const auto ink = [](const QImage& image, int darkBelow) {
        QRect r;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                r |= qGreen(image.pixel(x, y)) < darkBelow ? QRect(x, y, 1, 1) : QRect();
        return r;
    };
    const QRect got = ink(img, 64), want = ink(ref, 128);
    ASSERT_FALSE(want.isEmpty());
    EXPECT_NEAR(got.top(), want.top(), 1);
    EXPECT_NEAR(got.bottom(), want.bottom(), 1);
    EXPECT_NEAR(got.left(), want.left(), 1);
    EXPECT_NEAR(got.right(), want.right(), 1);
}

}  // namespace
