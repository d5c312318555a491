#pragma once

#include <QSlider>

// The progress slider: a click moves the handle under the pointer and grabs
// it, so the seek follows on release; the arrow keys ask for one second
// either way. Positions come in through setValue, which never seeks.
class CustomSlider : public QSlider {
    Q_OBJECT

public:
    static constexpr int kKeyStepMs = 1000;

    explicit CustomSlider(QWidget* parent = nullptr);

    void on_sliderRelease();

signals:
    // pos: the position asked for, in ms, within the slider's range.
    void Signal_seek(qint64 pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
