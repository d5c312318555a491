#pragma once

#include <QWidget>

namespace Ui {
class SpeedSlider;
}

// Playback speed in nine steps, index 0 (1/16X) to 8 (16X), 4 = 1X. Holds no
// playback state: each change of the slider is reported by Signal_valueChange.
class SpeedSlider : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSteps = 9;
    static constexpr int kNormalIndex = 4;

    // Starts at 1X and emits nothing.
    explicit SpeedSlider(QWidget* parent = nullptr);
    ~SpeedSlider() override;

    // Shows the step value (0..8) and reports it.
    void valueChange(int value);
    // Re-applies the translated tool tip (language switch).
    void SetText();

signals:
    void Signal_valueChange(int value);

private:
    Ui::SpeedSlider* ui;
};
