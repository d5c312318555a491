#pragma once

#include <vector>

// What the container knows about an audio stream. A zero field means
// "not known": the decoder then opens with its own defaults.
struct AudioStreamInfo {
    int sampleRate = 0;
    int channels = 0;
    int blockAlign = 0;                // bytes per ADPCM block
    std::vector<unsigned char> extra;  // codec set-up bytes (AAC AudioSpecificConfig)

    bool operator==(const AudioStreamInfo& o) const {
        return sampleRate == o.sampleRate && channels == o.channels && blockAlign == o.blockAlign &&
               extra == o.extra;
    }
    bool operator!=(const AudioStreamInfo& o) const { return !(*this == o); }
};
