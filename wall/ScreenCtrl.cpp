#include "wall/ScreenCtrl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "ui_ScreenCtrl.h"
#include "wall/CustomYV12Widget.h"

using namespace WallLayout;

namespace {

const char* const kPlainBorder = "QFrame{border:2px solid rgb(255, 255, 255);}";
const char* const kSelectedBorder = "QFrame{border:2px solid rgb(85, 255, 127);}";
constexpr int kPageCells = 4;

}  // namespace

ScreenCtrl::ScreenCtrl(QWidget* parent) : QWidget(parent), ui(new Ui::ScreenCtrl) {
    ui->setupUi(this);
    uiPointerInit();
}

ScreenCtrl::~ScreenCtrl() {
    delete ui;
}

void ScreenCtrl::uiPointerInit() {
    grid = ui->gridLayout;
    for (int i = 0; i < kCells; ++i) {
        const QString n = QString::number(i + 1);
        frames[i] = findChild<QFrame*>("uiFrame_" + n);
        screens[i] = findChild<CustomYV12Widget*>("uiScreen_" + n);
        connect(screens[i], &CustomYV12Widget::Signal_mouseLButtonPress, this,
                [this, i] { select(i); });
        connect(screens[i], &CustomYV12Widget::Signal_mouseLButtonRelease, this,
                [this, i] { dropFrom(i); });
        connect(screens[i], &CustomYV12Widget::Signal_mouseLButtonDblClick, this,
                &ScreenCtrl::toggleSingle);
    }
    std::iota(order.begin(), order.end(), 0);
    selectedFrame = nullptr;
}

void ScreenCtrl::SetLayout(int code) {
    if (code == layoutCode || CellsShown(code) == 0)
        return;
    runBuilder(code);
    previousCode = layoutCode;
    layoutCode = code;
}

void ScreenCtrl::runBuilder(int code) {
    if (code == kSingle)
        ShowLayout1();
    else if (code == kFour)
        ShowLayout4();
    else
        showFixedLayout(code);
}

void ScreenCtrl::ShowLayout1() {
    pageStart = positionOf(selected);
    for (QFrame* frame : frames) {
        grid->removeWidget(frame);
        frame->hide();
    }
    showPosition(pageStart, kSingle);
}

void ScreenCtrl::ShowLayout4() {
    pageStart = positionOf(selected) / kPageCells * kPageCells;
    for (QFrame* frame : frames) {
        grid->removeWidget(frame);
        frame->hide();
    }
    for (int p = pageStart; p < pageStart + kPageCells; ++p)
        showPosition(p, kFour);
}

void ScreenCtrl::showFixedLayout(int code) {
    for (QFrame* frame : frames)
        grid->removeWidget(frame);
    const int shown = CellsShown(code);
    for (int p = shown; p < kCells; ++p)
        frames[order[p]]->hide();
    for (int p = 0; p < shown; ++p)
        showPosition(p, code);
}

void ScreenCtrl::showPosition(int p, int code) {
    QFrame* frame = frames[order[p]];
    const Place at = PlaceOf(code, p);
    grid->addWidget(frame, at.row, at.column, at.rowSpan, at.columnSpan);
    frame->show();
}

void ScreenCtrl::Last() {
    turnPage(false);
}

void ScreenCtrl::Next() {
    turnPage(true);
}

// Pages cycle: 0, 4, 8 in the four-cell layout, 0 to 11 in the single view.
void ScreenCtrl::turnPage(bool forward) {
    if (layoutCode != kSingle && layoutCode != kFour)
        return;
    const int step = layoutCode == kFour ? kPageCells : 1;
    for (int p = pageStart; p < pageStart + step; ++p)
        frames[order[p]]->hide();
    if (forward)
        pageStart = pageStart + step < kCells ? pageStart + step : 0;
    else
        pageStart = pageStart < step ? kCells - step : pageStart - step;
    for (int p = pageStart; p < pageStart + step; ++p)
        showPosition(p, layoutCode);
}

void ScreenCtrl::SetYUV(int channel, unsigned char* data, int width, int height) {
    if (channel >= 0 && channel < kCells)
        screens[channel]->TakeYV12(data, width, height);
    else
        std::free(data);
}

void ScreenCtrl::SetMirror(int channel, bool on) {
    if (channel >= 0 && channel < kCells)
        screens[channel]->SetMirror(on);
}

void ScreenCtrl::Save(const QString& folder) {
    // Joined, not substituted: the folder's own text may hold "%1".
    screens[selected]->Save(folder + QString::number(selected + 1) + QLatin1Char('/'));
}

void ScreenCtrl::ShowFull() {
    setWindowFlags(Qt::Window);
    showFullScreen();
    activateWindow();
    setFocus();
}

void ScreenCtrl::ShowNormal() {
    setWindowFlags(Qt::SubWindow);
    showNormal();
    show();
}

void ScreenCtrl::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isFullScreen()) {
        ShowNormal();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void ScreenCtrl::closeEvent(QCloseEvent* event) {
    if (!isWindow() || !parentWidget()) {
        QWidget::closeEvent(event);
        return;
    }
    // The window manager closed the full-screen window: go back into the
    // parent instead of hiding. Not from inside the close handling, which
    // still uses the native window that ShowNormal destroys.
    event->ignore();
    QMetaObject::invokeMethod(this, &ScreenCtrl::ShowNormal, Qt::QueuedConnection);
}

void ScreenCtrl::select(int cell) {
    if (frames[cell] == selectedFrame)
        return;
    if (selectedFrame)
        selectedFrame->setStyleSheet(kPlainBorder);
    selectedFrame = frames[cell];
    selected = cell;
    selectedFrame->setStyleSheet(kSelectedBorder);
}

void ScreenCtrl::dropFrom(int source) {
    QWidget* under = QApplication::widgetAt(QCursor::pos());
    const auto hit = std::find(screens.begin(), screens.end(), under);
    if (hit == screens.end() || hit - screens.begin() == source)
        return;
    SwapScreen(int(hit - screens.begin()), source);
}

void ScreenCtrl::toggleSingle() {
    if (layoutCode != kSingle) {
        ShowLayout1();
        previousCode = layoutCode;
        layoutCode = kSingle;
        return;
    }
    if (previousCode == kSingle)
        return;
    runBuilder(previousCode);
    layoutCode = previousCode;
    previousCode = kSingle;
}

void ScreenCtrl::SwapScreen(int target, int source) {
    if (layoutCode == kSingle)
        return;
    const int pt = positionOf(target);
    const int ps = positionOf(source);
    order[pt] = source;
    order[ps] = target;
    grid->removeWidget(frames[source]);
    grid->removeWidget(frames[target]);
    showPosition(pt, layoutCode);
    showPosition(ps, layoutCode);
}

int ScreenCtrl::positionOf(int cell) const {
    return int(std::find(order.begin(), order.end(), cell) - order.begin());
}
