#pragma once

#include <QWidget>
#include <array>

#include "wall/WallLayout.h"

class CustomYV12Widget;
class QFrame;
class QGridLayout;

namespace Ui {
class ScreenCtrl;
}

// The video wall: twelve cells, cell i showing channel i + 1, arranged in
// the 1, 4, 8, 9 or 12 layout (WallLayout codes 1 to 5). A click selects a
// cell, dragging one cell onto another swaps their places, a double click
// toggles the single view; the 1- and 4-cell layouts page through the
// channels. GUI thread only.
class ScreenCtrl : public QWidget {
    Q_OBJECT

public:
    explicit ScreenCtrl(QWidget* parent = nullptr);
    ~ScreenCtrl() override;

    // Switches to layout code 1 to 5; the current code and others are ignored.
    void SetLayout(int code);
    // Page backwards / forwards in the 1- and 4-cell layouts; ignored in others.
    void Last();
    void Next();
    // Shows a frame of width x height in I420Layout on cell channel (0 to 11),
    // or empties the cell for a null data. Takes ownership of data, which must
    // come from std::malloc: the cell keeps it as its picture and releases it
    // with std::free when the next one comes; a frame for a channel out of
    // range is released at once.
    void SetYUV(int channel, unsigned char* data, int width, int height);
    // Mirrors cell channel left to right from its next paint on.
    void SetMirror(int channel, bool on);
    // Snapshot of the selected cell into "<folder><cell + 1>/" (folder is a
    // plain prefix, normally ending in "/"). Blocks until the file is written.
    void Save(const QString& folder);
    // The selected cell, 0 to 11 (0 until a cell is clicked).
    int GetSelectedChannel() const { return selected; }
    // Full screen as a window of its own, with key focus for Escape.
    void ShowFull();
    // Back into the parent window; Escape or closing the full-screen window
    // does the same.
    void ShowNormal();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void uiPointerInit();
    void runBuilder(int code);
    void ShowLayout1();
    void ShowLayout4();
    void showFixedLayout(int code);
    void showPosition(int position, int code);
    void turnPage(bool forward);
    void select(int cell);
    void dropFrom(int source);
    void toggleSingle();
    void SwapScreen(int target, int source);
    int positionOf(int cell) const;

    Ui::ScreenCtrl* ui;
    int layoutCode = WallLayout::kTwelve;
    int previousCode = WallLayout::kSingle;
    int selected = 0;
    QFrame* selectedFrame = nullptr;  // highlighted; none until the first click
    QGridLayout* grid = nullptr;
    std::array<QFrame*, WallLayout::kCells> frames{};
    std::array<CustomYV12Widget*, WallLayout::kCells> screens{};
    int pageStart = 0;
    std::array<int, WallLayout::kCells> order{};  // order[p]: the cell at position p
};
