#pragma once

#include <QtGlobal>

// One point of the selected file's track.
struct GPSPoint {
    qint64 dts = 0;    // whole seconds from the start of the file
    double lat = 0.0;  // as converted for the map type
    double lon = 0.0;
};
