#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What ffprobe says about a file's packets and streams: the oracle of the
// reader and writer tests.
namespace containertest {

struct ProbePacket {
    int stream = -1;
    int64_t dts = INT64_MIN;  // INT64_MIN when ffprobe prints N/A
    int size = 0;
    int64_t pos = -1;
    bool key = false;
};

struct ProbeStream {
    std::string codec_type;  // "video", "audio", "data"
    unsigned codec_tag = 0;
    int time_base_num = 0, time_base_den = 0;
    int width = 0, height = 0;
    int sample_rate = 0, channels = 0;
    int64_t nb_frames = -1;  // -1 when ffprobe prints N/A
};

// Every packet in file order; empty when ffprobe fails.
std::vector<ProbePacket> probePackets(const std::string& path);
std::vector<ProbeStream> probeStreams(const std::string& path);

bool operator==(const ProbePacket& a, const ProbePacket& b);
std::ostream& operator<<(std::ostream& out, const ProbePacket& p);

}  // namespace containertest
