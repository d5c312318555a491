#pragma once

#include <QWidget>

// The cut bar under the progress slider: up to two cut points (ms) inside
// 0..max, kept in order, and painted over the bar. GUI thread only.
class CustomSaveSlider : public QWidget {
    Q_OBJECT

public:
    explicit CustomSaveSlider(QWidget* parent = nullptr);

    // The range becomes 0..max(a, b); every cut point is dropped.
    void SetRange(int a, int b);
    // Adds a point at ms, clamped into the range; a third point, or a
    // second one on the first, is ignored.
    void SetCutPoint(int ms);
    // Drops the last point set.
    void DeleteCutPoint();
    // True with both points (begin < end) written; false and nothing written
    // with fewer than two.
    bool GetSaveRange(int& begin, int& end) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // x of v in a bar w pixels wide; only called with max > min.
    int xOf(int v, int w) const;

    int min = 0;
    int max = 100;
    int state = 0;  // points set: 0, 1 (begin) or 2 (begin < end)
    int begin = 0;
    int end = 0;
};
