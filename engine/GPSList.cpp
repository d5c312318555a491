#include "engine/GPSList.h"

#include <cmath>

namespace {
// Farther than any two points on the globe can be in |dlat| + |dlon|.
constexpr double kNoDistance = 270.0;
}  // namespace

bool GPSList::InputData(qint64 dts, double lat, double lon) {
    points.append(GPSPoint{dts, lat, lon});
    return true;
}

bool GPSList::OutputData(qint64* dts, double* lat, double* lon) {
    if (readIndex >= points.size()) {
        return false;
    }
    const GPSPoint& point = points.at(readIndex);
    if (dts) {
        *dts = point.dts;
    }
    if (lat) {
        *lat = point.lat;
    }
    if (lon) {
        *lon = point.lon;
    }
    ++readIndex;
    return true;
}

std::optional<qint64> GPSList::GetDTS(double lat, double lon) const {
    if (points.isEmpty()) {
        return std::nullopt;
    }
    double best = kNoDistance;
    int bestIndex = 0;
    for (int i = 0; i < points.size(); ++i) {
        const double distance = std::fabs(lat - points[i].lat) + std::fabs(lon - points[i].lon);
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    return points[bestIndex].dts;
}

void GPSList::Clear() {
    points.clear();
    readIndex = 0;
    RaiseReset();
}
