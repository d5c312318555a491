// The Controller's connections to the widgets. They live with the widgets so
// that the engine library never names a widget class.
#include "app/VolumeSlider.h"
#include "app/Widget.h"
#include "engine/Controller.h"
#include "wall/ScreenCtrl.h"

void Controller::ConnectToScreenCtrl(ScreenCtrl* wall) {
    for (int ch = 0; ch < kChannels; ++ch) {
        VideoCtrl* release = videoCtrls[size_t(ch)].get();
        connect(release, &VideoCtrl::Signal_show, wall,
                [wall, release, ch](uchar* pYV12, int width, int height) {
                    wall->SetYUV(ch, pYV12, width, height);
                    if (pYV12) {
                        release->FrameConsumed();
                    }
                });
    }
}

void Controller::ConnectToWidget(Widget* window) {
    connect(window, &Widget::Signal_cut, &aviFileRead, &AVIFileRead::SetCut);
}

void Controller::ConnectToAudioCtrl(VolumeSlider* volume) {
    connect(volume, &VolumeSlider::Signal_valueChange, &audioCtrl, &AudioCtrl::SetVolume);
    connect(volume, &VolumeSlider::Signal_Mute, this,
            [this, volume](bool mute) { audioCtrl.SetVolume(mute ? 0 : volume->volume()); });
}
