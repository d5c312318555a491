#include "telemetry/GPSTransfer.h"

#include <cmath>

namespace {

constexpr double kSemiMajorAxis = 6378245.0;
constexpr double kEccentricitySquared = 0.006693421622965943;
constexpr double kPi = 3.141592653589793;
constexpr double kXPi = kPi * 3000.0 / 180.0;

constexpr double kMinLon = 72.004;
constexpr double kMaxLon = 137.8347;
constexpr double kMinLat = 0.8293;
constexpr double kMaxLat = 55.8271;

// The offset reaches just over 0.01 degrees in the north-east corner of the area,
// so the search spans twice that to always hold the answer.
constexpr double kSearchHalfWidth = 0.02;
constexpr double kSearchTolerance = 1e-6;
constexpr int kMaxSearchSteps = 1001;

constexpr double kNoFix = 1e-6;

// The part of both offset polynomials that depends on x alone through the sines.
double periodicX(double x) {
    return (20.0 * std::sin(6.0 * x * kPi) + 20.0 * std::sin(2.0 * x * kPi)) * 2.0 / 3.0;
}

}  // namespace

bool GPSTransfer::outOfChina(double lat, double lon) const {
    return lon < kMinLon || lon > kMaxLon || lat > kMaxLat || lat < kMinLat;
}

double GPSTransfer::transformLat(double x, double y) const {
    double ret =
        -100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * std::sqrt(std::fabs(x));
    ret += periodicX(x);
    ret += (20.0 * std::sin(y * kPi) + 40.0 * std::sin(y / 3.0 * kPi)) * 2.0 / 3.0;
    ret += (160.0 * std::sin(y / 12.0 * kPi) + 320.0 * std::sin(y * kPi / 30.0)) * 2.0 / 3.0;
    return ret;
}

double GPSTransfer::transformLon(double x, double y) const {
    double ret = 300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * std::sqrt(std::fabs(x));
    ret += periodicX(x);
    ret += (20.0 * std::sin(x * kPi) + 40.0 * std::sin(x / 3.0 * kPi)) * 2.0 / 3.0;
    ret += (150.0 * std::sin(x / 12.0 * kPi) + 300.0 * std::sin(x / 30.0 * kPi)) * 2.0 / 3.0;
    return ret;
}

LatLon GPSTransfer::transform(double lat, double lon) const {
    if (outOfChina(lat, lon)) {
        return {lat, lon};
    }
    double dLat = transformLat(lon - 105.0, lat - 35.0);
    double dLon = transformLon(lon - 105.0, lat - 35.0);
    const double radLat = lat / 180.0 * kPi;
    const double sinLat = std::sin(radLat);
    const double magic = 1 - kEccentricitySquared * sinLat * sinLat;
    const double sqrtMagic = std::sqrt(magic);
    const double polarRadius = kSemiMajorAxis * (1 - kEccentricitySquared);
    dLat = (dLat * 180.0) / ((polarRadius / (magic * sqrtMagic)) * kPi);
    dLon = (dLon * 180.0) / ((kSemiMajorAxis / sqrtMagic) * std::cos(radLat) * kPi);
    return {lat + dLat, lon + dLon};
}

LatLon GPSTransfer::WGS84_To_GCJ02(double lat, double lon) const {
    return transform(lat, lon);
}

LatLon GPSTransfer::GCJ02_To_WGS84(double lat, double lon) const {
    const LatLon shifted = transform(lat, lon);
    return {2 * lat - shifted.lat, 2 * lon - shifted.lon};
}

LatLon GPSTransfer::GCJ02_To_WGS84_exact(double lat, double lon) const {
    if (outOfChina(lat, lon)) {
        return GCJ02_To_WGS84(lat, lon);
    }
    LatLon lower{lat - kSearchHalfWidth, lon - kSearchHalfWidth};
    LatLon upper{lat + kSearchHalfWidth, lon + kSearchHalfWidth};
    LatLon mid;
    for (int step = 0; step < kMaxSearchSteps; ++step) {
        mid = {(lower.lat + upper.lat) * 0.5, (lower.lon + upper.lon) * 0.5};
        const LatLon shifted = transform(mid.lat, mid.lon);
        const double dLat = shifted.lat - lat;
        const double dLon = shifted.lon - lon;
        if (std::fabs(dLat) < kSearchTolerance && std::fabs(dLon) < kSearchTolerance) {
            break;
        }
        (dLat > 0 ? upper.lat : lower.lat) = mid.lat;
        (dLon > 0 ? upper.lon : lower.lon) = mid.lon;
    }
    return mid;
}

LatLon GPSTransfer::GCJ02_To_BD09(double lat, double lon) const {
    const double x = lon;
    const double y = lat;
    const double z = std::sqrt(x * x + y * y) + 2e-5 * std::sin(y * kXPi);
    const double theta = std::atan2(y, x) + 3e-6 * std::cos(x * kXPi);
    return {z * std::sin(theta) + 0.006, z * std::cos(theta) + 0.0065};
}

LatLon GPSTransfer::BD09_To_GCJ02(double lat, double lon) const {
    const double x = lon - 0.0065;
    const double y = lat - 0.006;
    const double z = std::sqrt(x * x + y * y) - 2e-5 * std::sin(y * kXPi);
    const double theta = std::atan2(y, x) - 3e-6 * std::cos(x * kXPi);
    return {z * std::sin(theta), z * std::cos(theta)};
}

bool GPSTransfer::isNoFix(double lat, double lon) {
    return std::fabs(lat) < kNoFix || std::fabs(lon) < kNoFix;
}

LatLon GPSTransfer::toMap(MapType mapType, LatLon wgs, LatLon previous) const {
    if (isNoFix(wgs.lat, wgs.lon)) {
        return {0.0, 0.0};
    }
    switch (mapType) {
        case MapType::Google:
        case MapType::Bing:
            return WGS84_To_GCJ02(wgs.lat, wgs.lon);
        case MapType::Baidu: {
            const LatLon gcj = WGS84_To_GCJ02(wgs.lat, wgs.lon);
            return GCJ02_To_BD09(gcj.lat, gcj.lon);
        }
        case MapType::OSMap:
            return wgs;
        default:
            return previous;
    }
}
