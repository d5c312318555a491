#pragma once

#include <QWidget>

namespace Ui {
class VolumeSlider;
}

// Output volume 0..100 and a mute button. The volume is the slider's value and
// the mute state the button's check state; muting leaves the volume as it is,
// so the receiver restores volume() when sound is switched back on.
class VolumeSlider : public QWidget {
    Q_OBJECT

public:
    // Starts at 100, not muted, and emits nothing.
    explicit VolumeSlider(QWidget* parent = nullptr);
    ~VolumeSlider() override;

    // Show value as the tool tip and report it: on every move (valueChange)
    // and once more with the final value on release (valueChange2).
    void valueChange(int value);
    void valueChange2();
    // The current volume, 0..100, muted or not.
    int volume() const;
    void SetText();

signals:
    void Signal_valueChange(int value);
    // true = muted; emitted on every click of the mute button.
    void Signal_Mute(bool mute);

private:
    Ui::VolumeSlider* ui;
};
