// The wall's layouts, paging, selection, swap and full screen, on a real
// X server (the drop target is found under the pointer).
#include <gtest/gtest.h>

#include <QFrame>
#include <QGridLayout>
#include <QTest>
#include <QVBoxLayout>

#include "WallFrames.h"
#include "wall/CustomYV12Widget.h"
#include "wall/ScreenCtrl.h"

namespace {

struct Spot {
    int row, column, rowSpan, columnSpan;  // row -1: hidden
    bool operator==(const Spot& o) const {
        return row == o.row && (row < 0 || (column == o.column && rowSpan == o.rowSpan &&
                                            columnSpan == o.columnSpan));
    }
};
const Spot H{-1, 0, 0, 0};

class Wall : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(800, 600);
        (new QVBoxLayout(&window))->addWidget(wall);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QFrame* frame(int cell) {
        return wall->findChild<QFrame*>(QString("uiFrame_%1").arg(cell + 1));
    }
    CustomYV12Widget* screen(int cell) {
        return wall->findChild<CustomYV12Widget*>(QString("uiScreen_%1").arg(cell + 1));
    }
    Spot spot(int cell) {
        auto* grid = wall->findChild<QGridLayout*>("gridLayout");
        if (frame(cell)->isHidden())
            return H;
        Spot s{};
        grid->getItemPosition(grid->indexOf(frame(cell)), &s.row, &s.column, &s.rowSpan,
                              &s.columnSpan);
        return s;
    }
    std::vector<int> shownCells() {
        std::vector<int> shown;
        for (int c = 0; c < 12; ++c)
            if (!frame(c)->isHidden())
                shown.push_back(c);
        return shown;
    }
    void mouse(int cell, QEvent::Type type) {
        QMouseEvent e(type, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(screen(cell), &e);
    }
    void dragOnto(int source, int target) {
        mouse(source, QEvent::MouseButtonPress);
        QCursor::setPos(screen(target)->mapToGlobal(screen(target)->rect().center()));
        QTest::qWait(50);
        mouse(source, QEvent::MouseButtonRelease);
    }

    QWidget window;
    ScreenCtrl* wall = new ScreenCtrl;
};

// Cell c at position c, every layout: grid row, column and spans, or hidden.
TEST_F(Wall, LayoutsPlaceEveryCellAsTheTableSays) {
    const std::vector<Spot> table[] = {
        {{0, 0, 1, 1}, H, H, H, H, H, H, H, H, H, H, H},
        {{0, 0, 1, 1}, {0, 1, 1, 1}, {1, 0, 1, 1}, {1, 1, 1, 1}, H, H, H, H, H, H, H, H},
        {{0, 0, 3, 3},
         {0, 3, 1, 1},
         {1, 3, 1, 1},
         {2, 3, 1, 1},
         {3, 3, 1, 1},
         {3, 2, 1, 1},
         {3, 1, 1, 1},
         {3, 0, 1, 1},
         H,
         H,
         H,
         H},
        {{0, 0, 1, 1},
         {0, 1, 1, 1},
         {0, 2, 1, 1},
         {1, 0, 1, 1},
         {1, 1, 1, 1},
         {1, 2, 1, 1},
         {2, 0, 1, 1},
         {2, 1, 1, 1},
         {2, 2, 1, 1},
         H,
         H,
         H},
        {{0, 0, 5, 5},
         {0, 5, 1, 1},
         {1, 5, 1, 1},
         {2, 5, 1, 1},
         {3, 5, 1, 1},
         {4, 5, 1, 1},
         {5, 5, 1, 1},
         {5, 4, 1, 1},
         {5, 3, 1, 1},
         {5, 2, 1, 1},
         {5, 1, 1, 1},
         {5, 0, 1, 1}},
    };
    for (int c = 0; c < 12; ++c)  // at start: twelve cells, none highlighted
        EXPECT_TRUE(spot(c) == table[4][c] && !frame(c)->styleSheet().contains("85")) << c;
    EXPECT_EQ(wall->GetSelectedChannel(), 0);
    for (int code : {1, 2, 3, 4, 5, 3, 1, 5}) {
        wall->SetLayout(code);
        for (int c = 0; c < 12; ++c)
            EXPECT_TRUE(spot(c) == table[code - 1][c]) << "layout " << code << " cell " << c;
    }
}

TEST_F(Wall, PagingCyclesInTheOneAndFourCellLayoutsOnly) {
    struct Case {
        int code, selected;
        const char* steps;                    // N next, L last
        std::vector<std::vector<int>> shown;  // before and after each step
    } cases[] = {
        {2, 6, "NNL", {{4, 5, 6, 7}, {8, 9, 10, 11}, {0, 1, 2, 3}, {8, 9, 10, 11}}},
        {1, 11, "NL", {{11}, {0}, {11}}},
        {1, 0, "LLN", {{0}, {11}, {10}, {11}}},
        {3, 0, "N", {{0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7}}},
        {4, 0, "L", {{0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 2, 3, 4, 5, 6, 7, 8}}},
    };
    for (const Case& c : cases) {
        wall->SetLayout(5);
        mouse(c.selected, QEvent::MouseButtonPress);
        wall->SetLayout(c.code);
        EXPECT_EQ(shownCells(), c.shown[0]) << c.code << c.steps;
        for (int i = 0; c.steps[i]; ++i) {
            c.steps[i] == 'N' ? wall->Next() : wall->Last();
            EXPECT_EQ(shownCells(), c.shown[i + 1]) << c.code << c.steps << i;
        }
        EXPECT_EQ(wall->GetSelectedChannel(), c.selected);
    }
}

TEST_F(Wall, PressSelectsAndHighlightsOneCell) {
    for (int cell : {3, 3, 7}) {
        mouse(cell, QEvent::MouseButtonPress);
        EXPECT_EQ(wall->GetSelectedChannel(), cell);
        for (int c = 0; c < 12; ++c)
            EXPECT_EQ(frame(c)->styleSheet(), c == cell
                                                  ? "QFrame{border:2px solid rgb(85, 255, 127);}"
                                                  : "QFrame{border:2px solid rgb(255, 255, 255);}");
    }
}

TEST_F(Wall, DragSwapsPlacesAndLaterLayoutsKeepTheOrder) {
    dragOnto(3, 3);  // onto itself: nothing
    EXPECT_TRUE(spot(3) == (Spot{2, 5, 1, 1}));
    dragOnto(3, 0);
    EXPECT_TRUE(spot(3) == (Spot{0, 0, 5, 5}));
    EXPECT_TRUE(spot(0) == (Spot{2, 5, 1, 1}));
    wall->SetLayout(4);
    EXPECT_TRUE(spot(3) == (Spot{0, 0, 1, 1}));
    EXPECT_TRUE(spot(0) == (Spot{1, 0, 1, 1}));
    wall->SetLayout(1);  // no swaps in the single view
    dragOnto(3, 3);
    wall->Next();
    EXPECT_EQ(shownCells(), std::vector<int>{1});
}

TEST_F(Wall, DoubleClickTogglesTheSingleViewAndBack) {
    wall->SetLayout(4);
    mouse(5, QEvent::MouseButtonPress);
    mouse(5, QEvent::MouseButtonDblClick);
    EXPECT_EQ(shownCells(), std::vector<int>{5});
    EXPECT_TRUE(spot(5) == (Spot{0, 0, 1, 1}));
    mouse(5, QEvent::MouseButtonDblClick);
    EXPECT_EQ(shownCells().size(), 9u);
    EXPECT_TRUE(spot(5) == (Spot{1, 2, 1, 1}));
}

TEST_F(Wall, FullScreenReturnsOnEscapeAndWindowManagerCloseAndStillDraws) {
    for (bool byClose : {false, true}) {
        wall->ShowFull();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wall));
        EXPECT_TRUE(wall->isFullScreen() && wall->isWindow());
        if (byClose) {
            QCloseEvent close;
            QApplication::sendEvent(wall->windowHandle(), &close);
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == wall; }));
            QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Escape);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !wall->isWindow(); })) << byClose;
        EXPECT_TRUE(wall->isVisible() && wall->parentWidget() == &window);
    }
    const auto f = makeFrame(16, 16, flat(235), flat(128), flat(128));
    wall->SetYUV(0, mallocFrame(f), 16, 16);
    EXPECT_GT(qGreen(screen(0)->grabFramebuffer().pixel(20, 20)), 230);
}

}  // namespace
