#pragma once

#include <QMetaType>

// Play status carried by Controller::Signal_playStatusChange.
enum class PlayStatus : int { Stop = 0, Play = 1, Pause = 2 };

Q_DECLARE_METATYPE(PlayStatus)
