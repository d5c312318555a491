#pragma once

// AMF0 value markers and the caps every walker of AMF0 data applies (FLV
// script tags, data-stream records): any byte sequence is walked in time
// linear in its size.
#include <cstdint>

namespace container {

enum AMFDataType {
    AMF_DATA_TYPE_NUMBER = 0,
    AMF_DATA_TYPE_BOOL = 1,
    AMF_DATA_TYPE_STRING = 2,
    AMF_DATA_TYPE_OBJECT = 3,
    AMF_DATA_TYPE_NULL = 5,
    AMF_DATA_TYPE_UNDEFINED = 6,
    AMF_DATA_TYPE_MIXEDARRAY = 8,
    AMF_DATA_TYPE_OBJECT_END = 9,
    AMF_DATA_TYPE_ARRAY = 10,
    AMF_DATA_TYPE_DATE = 11,
    AMF_DATA_TYPE_UNSUPPORTED = 13,
};

constexpr int AMF_TEXT_SIZE = 256;  // strings and keys up to 255 bytes plus NUL
constexpr int AMF_MAX_STRING_LENGTH = AMF_TEXT_SIZE - 1;
constexpr int AMF_MAX_DEPTH = 32;       // nested objects and arrays; deeper values fail
constexpr int64_t AMF_DATE_SIZE = 10;   // the double and the time zone
constexpr int64_t AMF_COUNT_SIZE = 4;   // element count of an ECMA or strict array
constexpr int64_t AMF_NUMBER_SIZE = 8;  // big-endian IEEE double

// A data-stream record starts with its name as an AMF0 string: the marker,
// a big-endian 16-bit length of at most 255, the bytes. The name's offset
// and length when the record holds all of it, else false.
constexpr int64_t DATA_RECORD_NAME_OFFSET = 3;
inline bool data_record_name(const uint8_t* data, int64_t size, int* length) {
    if (!data || size < DATA_RECORD_NAME_OFFSET || data[0] != AMF_DATA_TYPE_STRING)
        return false;
    *length = data[1] << 8 | data[2];
    return *length <= AMF_MAX_STRING_LENGTH && *length <= size - DATA_RECORD_NAME_OFFSET;
}

}  // namespace container
