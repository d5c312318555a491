#pragma once

#include "engine/MapType.h"
#include "telemetry/LatLon.h"

// Conversions between WGS-84 (what the recorder writes), GCJ-02 (the Google
// and Bing pages) and BD-09 (the Baidu page). Stateless; every operation takes
// and returns (latitude, longitude) in degrees.
class GPSTransfer {
public:
    // True when the position lies outside the area where GCJ-02 differs from
    // WGS-84; the bounds themselves are inside.
    bool outOfChina(double lat, double lon) const;
    // True for the recorder's "no fix": either coordinate within 1e-6 of zero.
    static bool isNoFix(double lat, double lon);

    // The offset polynomials, with x = longitude - 105 and y = latitude - 35.
    double transformLat(double x, double y) const;
    double transformLon(double x, double y) const;

    // The GCJ-02 offset applied to a WGS-84 position; unchanged outside China.
    LatLon transform(double lat, double lon) const;
    LatLon WGS84_To_GCJ02(double lat, double lon) const;

    // One-step approximate inverse of the offset.
    LatLon GCJ02_To_WGS84(double lat, double lon) const;
    // Inverse by bisection: stops when the forward conversion of the result is
    // within 1e-6 degrees of the input, or after 1001 steps.
    LatLon GCJ02_To_WGS84_exact(double lat, double lon) const;

    LatLon GCJ02_To_BD09(double lat, double lon) const;
    LatLon BD09_To_GCJ02(double lat, double lon) const;

    // Position to draw on the page of `mapType` when map offset is on. A
    // position with either coordinate within 1e-6 of zero is "no fix" and
    // drawn at (0, 0); an unknown map type keeps `previous`.
    LatLon toMap(MapType mapType, LatLon wgs, LatLon previous) const;
};
