#pragma once

// A position in degrees, latitude first as every conversion takes it.
struct LatLon {
    double lat = 0.0;
    double lon = 0.0;
};
