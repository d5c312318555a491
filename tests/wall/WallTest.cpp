// The wall's layouts, paging, selection, swap and full screen, on a real X
// server (a drop finds its target under the pointer).
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <QFrame>
#include <QGridLayout>
#include <QTest>
#include <QVBoxLayout>

#include "WallFrames.h"
#include "wall/CustomYV12Widget.h"
#include "wall/ScreenCtrl.h"

namespace {

// What a window manager does on a close: WM_DELETE_WINDOW to the window.
void wmClose(QWidget* window) {
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    xcb_client_message_event_t e{XCB_CLIENT_MESSAGE, 32, 0, xcb_window_t(window->winId()), 0, {}};
    for (const char* name : {"WM_PROTOCOLS", "WM_DELETE_WINDOW"}) {
        auto* atom = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, strlen(name), name), nullptr);
        (e.type ? e.data.data32[0] : e.type) = atom->atom;
        free(atom);
    }
    // Checked, so the server has taken it before the connection goes.
    free(xcb_request_check(x, xcb_send_event_checked(x, 0, e.window, XCB_EVENT_MASK_NO_EVENT,
                                                     reinterpret_cast<const char*>(&e))));
    xcb_disconnect(x);
}

class Wall : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(800, 600);
        (new QVBoxLayout(&window))->addWidget(wall);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QFrame* frame(int c) { return wall->findChild<QFrame*>(QString("uiFrame_%1").arg(c + 1)); }
    CustomYV12Widget* screen(int cell) {
        return wall->findChild<CustomYV12Widget*>(QString("uiScreen_%1").arg(cell + 1));
    }
    // Each cell's row, column, row span and column span, or "-" when hidden.
    QString spots() {
        auto* grid = wall->findChild<QGridLayout*>("gridLayout");
        QStringList all;
        for (int c = 0, s[4]; c < 12; ++c) {
            grid->getItemPosition(grid->indexOf(frame(c)), &s[0], &s[1], &s[2], &s[3]);
            all << (frame(c)->isHidden() ? "-"
                                         : QString::asprintf("%d%d%d%d", s[0], s[1], s[2], s[3]));
        }
        return all.join(' ');
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

// Each layout's spots of cells 0 to 11 as row, column, row span, column span; "-" hidden.
TEST_F(Wall, LayoutsPlaceEveryCellAsTheTableSays) {
    const char* table[] = {
        "0011 - - - - - - - - - - -",
        "0011 0111 1011 1111 - - - - - - - -",
        "0033 0311 1311 2311 3311 3211 3111 3011 - - - -",
        "0011 0111 0211 1011 1111 1211 2011 2111 2211 - - -",
        "0055 0511 1511 2511 3511 4511 5511 5411 5311 5211 5111 5011",
    };
    EXPECT_EQ(spots(), table[4]);  // at start: twelve cells, none highlighted
    for (int c = 0; c < 12; ++c)
        EXPECT_FALSE(frame(c)->styleSheet().contains("85")) << c;
    EXPECT_EQ(wall->GetSelectedChannel(), 0);
    for (int code : {1, 2, 3, 4, 5, 3, 1, 5}) {
        wall->SetLayout(code);
        EXPECT_EQ(spots(), table[code - 1]) << "layout " << code;
    }
}

// Cells shown after each step, as the first of the page: cells first to first + n - 1.
TEST_F(Wall, PagingCyclesInTheOneAndFourCellLayoutsAndKeepsTheSelection) {
    const struct {
        int code, selected, shown;
        const char* steps;        // N next, L last
        std::vector<int> firsts;  // before and after each step
    } cases[] = {{2, 6, 4, "NNL", {4, 8, 0, 8}},
                 {1, 11, 1, "NL", {11, 0, 11}},
                 {1, 0, 1, "LLN", {0, 11, 10, 11}},
                 {3, 0, 8, "N", {0, 0}},
                 {4, 0, 9, "L", {0, 0}}};
    for (const auto& c : cases) {
        wall->SetLayout(5);
        mouse(c.selected, QEvent::MouseButtonPress);
        wall->SetLayout(c.code);
        for (int i = 0; i < int(c.firsts.size()); ++i) {
            if (i > 0)
                c.steps[i - 1] == 'N' ? wall->Next() : wall->Last();
            for (int cell = 0; cell < 12; ++cell)
                EXPECT_EQ(frame(cell)->isHidden(),
                          cell < c.firsts[i] || cell >= c.firsts[i] + c.shown)
                    << c.code << c.steps << i << " cell " << cell;
        }
        EXPECT_EQ(wall->GetSelectedChannel(), c.selected);
        for (int cell = 0; cell < 12; ++cell)  // one highlight, on the selected cell
            EXPECT_EQ(frame(cell)->styleSheet(),
                      QString("QFrame{border:2px solid rgb(%1);}")
                          .arg(cell == c.selected ? "85, 255, 127" : "255, 255, 255"));
    }
}

TEST_F(Wall, DragSwapsPlacesAndDoubleClickTogglesTheSingleView) {
    dragOnto(3, 3);  // onto itself: nothing
    EXPECT_TRUE(spots().startsWith("0055 0511 1511 2511 "));
    dragOnto(3, 0);
    EXPECT_TRUE(spots().startsWith("2511 0511 1511 0055 "));
    wall->SetLayout(4);
    EXPECT_EQ(spots(), "1011 0111 0211 0011 1111 1211 2011 2111 2211 - - -");
    mouse(5, QEvent::MouseButtonPress);
    mouse(5, QEvent::MouseButtonDblClick);
    EXPECT_EQ(spots(), "- - - - - 0011 - - - - - -");
    mouse(5, QEvent::MouseButtonDblClick);
    EXPECT_EQ(spots(), "1011 0111 0211 0011 1111 1211 2011 2111 2211 - - -");
}

TEST_F(Wall, FullScreenReturnsOnEscapeAndWindowManagerCloseAndStillDraws) {
    for (bool byClose : {false, true}) {
        wall->ShowFull();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wall));
        EXPECT_TRUE(wall->isFullScreen() && wall->isWindow());
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == wall; }));
        byClose ? wmClose(wall) : QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !wall->isWindow(); })) << byClose;
        EXPECT_TRUE(wall->isVisible() && wall->parentWidget() == &window);
    }
    wall->SetYUV(0, mallocFrame(makeFrame(16, 16, flat(235))), 16, 16);
    EXPECT_GT(qGreen(screen(0)->grabFramebuffer().pixel(20, 20)), 230);
}

}  // namespace
