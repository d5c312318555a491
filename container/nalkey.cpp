#include "container/nalkey.h"

#include <cctype>

namespace container {

namespace {

bool is_key_nal(uint8_t header, bool hevc) {
    if (hevc) {
        int type = (header >> 1) & 0x3f;
        return type >= 16 && type <= 23;
    }
    return (header & 0x1f) == 5;
}

// Annex B: 1 key, 0 not key, -1 no start code at all.
int scan_start_codes(const uint8_t* data, int size, bool hevc) {
    bool found = false;
    for (int i = 0; i + 3 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        found = true;
        if (is_key_nal(data[i + 3], hevc))
            return 1;
        i += 2;
    }
    return found ? 0 : -1;
}

bool scan_length_prefixed(const uint8_t* data, int size, bool hevc) {
    int64_t at = 0;
    while (at + 5 <= size) {
        uint32_t len = static_cast<uint32_t>(data[at]) << 24 | data[at + 1] << 16 |
                       data[at + 2] << 8 | data[at + 3];
        if (len == 0 || at + 4 + len > static_cast<uint32_t>(size))
            return false;
        if (is_key_nal(data[at + 4], hevc))
            return true;
        at += 4 + static_cast<int64_t>(len);
    }
    return false;
}

}  // namespace

bool nal_payload_is_key(const uint8_t* data, int size, bool hevc) {
    if (!data || size <= 0)
        return false;
    int annexB = scan_start_codes(data, size, hevc);
    if (annexB >= 0)
        return annexB == 1;
    return scan_length_prefixed(data, size, hevc);
}

bool nal_is_hevc_tag(unsigned fourcc) {
    char upper[4];
    for (int i = 0; i < 4; ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<int>((fourcc >> (8 * i)) & 0xff)));
    auto is = [&](const char* t) {
        return upper[0] == t[0] && upper[1] == t[1] && upper[2] == t[2] && upper[3] == t[3];
    };
    return is("HEVC") || is("H265") || is("HVC1") || is("HEV1") || is("X265");
}

}  // namespace container
