#include "app/CustomSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>

#include "resources/OrdavexResources.h"

CustomSlider::CustomSlider(QWidget* parent) : QSlider(parent) {
    initOrdavexResources();
    setStyleSheet(QStringLiteral(
        "QSlider::groove:horizontal{border:0px;}"
        "QSlider::handle:horizontal{border-image:url(:/image/mp_thumb.bmp);width:24px;"
        "margin-top:5px;margin-bottom:5px;border-radius:4px;}"
        "QSlider::handle:horizontal:pressed{border-image:url(:/image/mp_thumb_active.bmp);}"
        "QSlider::sub-page:horizontal{border-image:url(:/image/mp_channel_active.bmp);"
        "margin-top:3px;margin-bottom:3px;}"
        "QSlider::add-page:horizontal{border-image:url(:/image/mp_channel.bmp);"
        "margin-top:3px;margin-bottom:3px;}"));
    connect(this, &QSlider::sliderReleased, this, &CustomSlider::on_sliderRelease);
}

void CustomSlider::on_sliderRelease() {
    emit Signal_seek(value());
}

void CustomSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), event->pos().x(), width(),
                                                 invertedAppearance()));
    }
    QSlider::mousePressEvent(event);
}

// A step past either end would seek outside the file (the demux reads a
// negative target as its absolute value), so it stops at the end.
void CustomSlider::keyPressEvent(QKeyEvent* event) {
    qint64 step = 0;
    switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down:
            step = kKeyStepMs;
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            step = -kKeyStepMs;
            break;
        default:
            QAbstractSlider::keyPressEvent(event);
            return;
    }
    emit Signal_seek(std::clamp<qint64>(value() + step, minimum(), maximum()));
}
