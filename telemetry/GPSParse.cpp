#include "telemetry/GPSParse.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "telemetry/GPSTransfer.h"

namespace {

constexpr int kAmfNumber = 0;
constexpr int kAmfString = 2;

// 2^63: the first double past the signed 64-bit range (exactly representable).
constexpr double kInt64Limit = 9223372036854775808.0;

// Truncates toward zero; NaN, infinities and values outside the signed 64-bit
// range count as 0 rather than going through an undefined conversion.
int64_t truncateToInt64(double num) {
    if (!(num >= -kInt64Limit && num < kInt64Limit)) {
        return 0;
    }
    return static_cast<int64_t>(num);
}

}  // namespace

GPSParse::GPSParse(QObject* parent) : Parse(parent) {}

void GPSParse::setValue(double num, const char* str, int amfType, const char* key) {
    if (amfType == kAmfString) {
        if (std::strcmp(key, "carInfo") == 0) {
            std::memset(carInfo, 0, sizeof carInfo);
            std::strncpy(carInfo, str, sizeof carInfo - 1);
        }
        return;
    }
    if (amfType != kAmfNumber) {
        return;
    }
    static constexpr KeyedField<GPSParse, double> kReals[] = {
        {"mode", &GPSParse::mode},    {"lat", &GPSParse::latitude}, {"lon", &GPSParse::longitude},
        {"alt", &GPSParse::altitude}, {"speed", &GPSParse::speed},  {"course", &GPSParse::course}};
    static constexpr KeyedField<GPSParse, int64_t> kIntegers[] = {
        {"sat_used", &GPSParse::sat_used},
        {"sat_visible", &GPSParse::sat_visible},
        {"time", &GPSParse::time}};
    if (!StoreByKey(this, kReals, key, num)) {
        StoreByKey(this, kIntegers, key, truncateToInt64(num));
    }
}

bool GPSParse::HasValidFix() const {
    return std::isfinite(latitude) && std::isfinite(longitude);
}

bool GPSParse::HasDrawableFix() const {
    return HasValidFix() && !GPSTransfer::isNoFix(latitude, longitude);
}

bool GPSParse::Moved() const {
    return latitude != previousLatitude || longitude != previousLongitude;
}

void GPSParse::UpdateMapPosition(bool mapOffset, MapType mapType) {
    LatLon map{latitude, longitude};
    if (mapOffset) {
        map = GPSTransfer().toMap(mapType, map, {mapLatitude, mapLongitude});
    }
    mapLatitude = map.lat;
    mapLongitude = map.lon;
}

void GPSParse::KeepAsPrevious() {
    previousLatitude = latitude;
    previousLongitude = longitude;
}

void GPSParse::ForgetPrevious() {
    previousLatitude = std::numeric_limits<double>::quiet_NaN();
    previousLongitude = std::numeric_limits<double>::quiet_NaN();
}
