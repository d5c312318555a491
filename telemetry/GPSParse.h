#pragma once

#include <cstdint>

#include "engine/MapType.h"
#include "telemetry/Parse.h"

// The last GPS fix read from "GPS" records; every field starts at zero and
// keeps its value until a record carries its key. The owning worker reads
// and writes all fields on its own thread.
class GPSParse : public Parse {
    Q_OBJECT

public:
    explicit GPSParse(QObject* parent = nullptr);

    void setValue(double num, const char* str, int amfType, const char* key) override;

    // False when latitude or longitude is not a finite number; such a fix
    // must not be drawn.
    bool HasValidFix() const;
    // A valid fix that is not "no fix" (a coordinate within 1e-6 of zero):
    // only such a fix is put on the map.
    bool HasDrawableFix() const;
    // True unless latitude and longitude both equal the previous fix exactly.
    bool Moved() const;
    // Sets the map position from the fix: unchanged with map offset off,
    // otherwise converted for the page of mapType.
    void UpdateMapPosition(bool mapOffset, MapType mapType);
    // Remembers the fix as the last one passed on.
    void KeepAsPrevious();
    // Forgets the last fix passed on, so the next fix counts as moved (a new
    // file, a cleared track).
    void ForgetPrevious();

    static constexpr int kCarInfoSize = 256;

    double mode = 0.0;
    double latitude = 0.0;  // degrees, WGS-84
    double longitude = 0.0;
    double mapLongitude = 0.0;  // converted for the map page
    double mapLatitude = 0.0;
    double previousLatitude = 0.0;  // last fix passed on
    double previousLongitude = 0.0;
    double altitude = 0.0;
    double speed = 0.0;
    double course = 0.0;  // heading in degrees
    int64_t sat_used = 0;
    int64_t sat_visible = 0;
    int64_t time = 0;
    char carInfo[kCarInfoSize] = {};  // vehicle label, NUL-terminated
};
