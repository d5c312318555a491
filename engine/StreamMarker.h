#pragma once

#include <QtGlobal>

// Queue entries with one of these timestamps and no payload mark stream events.
namespace StreamMarker {
constexpr qint64 Open = -1;  // a new set of files was opened
constexpr qint64 Stop = -2;  // playback stopped
constexpr qint64 End = -3;   // end of all files

inline bool IsMarker(qint64 dts) {
    return dts == Open || dts == Stop || dts == End;
}
}  // namespace StreamMarker
