#pragma once

// The FLV test files (made with the ffmpeg CLI on first use) and our
// reader's packets as plain bytes, for tests that must not see container records.
#include <string>
#include <vector>

namespace containertest {

// Path of the generated file `name` (h264_aac, h264_mp3, aac_only, ...).
std::string flvFixture(const std::string& name);
struct FlvPayloads {
    std::vector<std::vector<uint8_t>> video;  // Annex B, parameter sets before key frames
    std::vector<std::vector<uint8_t>> aac;    // empty for other sound
};
FlvPayloads readFlvPayloads(const std::string& path);

}  // namespace containertest
