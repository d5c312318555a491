// libFuzzer target: header, packets and seeks of the AVI reader over bytes
// in memory. The last bytes of the input choose the seeks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "AviFile.h"

using namespace container;
using containertest::AviFile;
using containertest::ProbePacket;

namespace {

constexpr size_t kMaxPackets = 4000;
constexpr size_t kPacketsAfterSeek = 200;
constexpr int kSeeks = 3;

void readSome(AviFile& avi, size_t limit) {
    ProbePacket p;
    for (size_t n = 0; n < limit && avi.readOne(&p) >= 0; ++n) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AviFile avi;
    avi.openMemory(std::vector<uint8_t>(data, data + size));
    readSome(avi, kMaxPackets);
    if (size < 4 * kSeeks)
        return 0;
    const uint8_t* tail = data + size - 4 * kSeeks;
    for (int k = 0; k < kSeeks; ++k, tail += 4) {
        int streams = static_cast<int>(avi.ctx()->nb_streams);
        int stream = tail[0] % (streams + 2) - 1;  // also one below and one past
        int64_t timestamp = static_cast<int8_t>(tail[1]) * 7 + tail[2];
        int flags = tail[3] & 5;
        int slot = (tail[3] >> 3) % (AVI_PACKET_SLOTS + 2) - 1;
        avi_read_seek(avi.ctx(), stream, timestamp, flags, slot);
        readSome(avi, kPacketsAfterSeek);
    }
    return 0;
}
