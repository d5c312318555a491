// Any byte sequence handed to the record classes must parse or fail without
// reading outside it, recursing without bound or leaving carInfo unterminated.
#include <cstdint>
#include <cstring>

#include "telemetry/GPSParse.h"
#include "telemetry/GSensorParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int length = size > 0x7fffffff ? 0x7fffffff : static_cast<int>(size);
    // A copy of exactly the input's size, so any overread hits the redzone.
    unsigned char* record = new unsigned char[size ? size : 1];
    if (size) {
        std::memcpy(record, data, size);
    }

    GPSParse gps;
    gps.ParseRecord(record, length);
    if (std::memchr(gps.carInfo, '\0', sizeof gps.carInfo) == nullptr) {
        __builtin_trap();
    }
    gps.UpdateMapPosition(true, static_cast<MapType>(gps.sat_used & 7));

    GSensorParse sensor;
    sensor.ParseRecord(record, length);

    // Value by value, with a key, so every value reaches setValue.
    unsigned char* cursor = record;
    int remaining = length;
    while (remaining > 0) {
        const int before = remaining;
        if (gps.ParseAMF2(&cursor, &remaining, "carInfo") < 0) {
            break;
        }
        if (remaining >= before || remaining < 0) {
            __builtin_trap();
        }
    }
    Parse::RecordName(record, length);

    delete[] record;
    return 0;
}
