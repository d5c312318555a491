#pragma once

#include <cstdint>

namespace container {

// True when an H.264 payload holds an IDR slice (NAL type 5), or an HEVC
// payload an IRAP picture (NAL types 16 to 23). Reads Annex B start codes,
// or 4-byte length prefixes when the payload has no start code.
bool nal_payload_is_key(const uint8_t* data, int size, bool hevc);

// True for fourccs that name HEVC video.
bool nal_is_hevc_tag(unsigned fourcc);

}  // namespace container
