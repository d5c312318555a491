#include "app/CustomSaveSlider.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "resources/OrdavexResources.h"

namespace {
constexpr int kBarHeight = 6;
constexpr int kMarkWidth = 10;
constexpr int kMarkHeight = 22;
}  // namespace

CustomSaveSlider::CustomSaveSlider(QWidget* parent) : QWidget(parent) {
    initOrdavexResources();
    setMinimumHeight(2 * (kMarkHeight - 2));  // the marks stand above the bar
}

void CustomSaveSlider::SetRange(int a, int b) {
    max = std::max(a, b);
    state = 0;
    update();
}

void CustomSaveSlider::SetCutPoint(int ms) {
    const int v = std::clamp(ms, min, std::max(min, max));
    if (state == 0) {
        begin = v;
        state = 1;
    } else if (state == 1 && v != begin) {
        end = std::max(v, begin);
        begin = std::min(v, begin);
        state = 2;
    } else {
        return;
    }
    update();
}

void CustomSaveSlider::DeleteCutPoint() {
    if (state == 0) {
        return;
    }
    --state;
    update();
}

bool CustomSaveSlider::GetSaveRange(int& b, int& e) const {
    if (state != 2) {
        return false;
    }
    b = begin;
    e = end;
    return true;
}

int CustomSaveSlider::xOf(int v, int w) const {
    return int(double(v) / double(max - min) * w);
}

void CustomSaveSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int mid = height() / 2;
    painter.drawPixmap(QRect(0, mid - kBarHeight / 2, w, kBarHeight),
                       QPixmap(QStringLiteral(":/image/mp_channel.bmp")));
    // With an empty range (after a stop) a point has no place on the bar.
    if (state == 0 || max <= min) {
        return;
    }
    const QPixmap mark(QStringLiteral(":/image/ThumbVer.bmp"));
    const int top = mid - kMarkHeight + 2;
    if (state == 2) {
        painter.drawPixmap(
            QRect(xOf(begin, w), mid - kBarHeight / 2, xOf(end, w) - xOf(begin, w) + 1, kBarHeight),
            QPixmap(QStringLiteral(":/image/mp_channel_active.bmp")));
        painter.drawPixmap(QRect(xOf(end, w), top, kMarkWidth, kMarkHeight), mark);
    }
    painter.drawPixmap(QRect(xOf(begin, w), top, kMarkWidth, kMarkHeight), mark);
}
