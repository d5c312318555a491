// libFuzzer target: header, packets and seeks of the AVI reader over bytes
// in memory, forwards then backwards. The last bytes of the input choose the
// seeks and the backward slot.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "AviFile.h"
#include "container/avibackward.h"

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

// Seeks as the 4-byte groups of tail say, reading a little after each.
void seekAndRead(AviFile& avi, const uint8_t* tail, int fixedSlot) {
    for (int k = 0; k < kSeeks; ++k, tail += 4) {
        int streams = static_cast<int>(avi.ctx()->nb_streams);
        int stream = tail[0] % (streams + 2) - 1;  // also one below and one past
        int64_t timestamp = static_cast<int8_t>(tail[1]) * 7 + tail[2];
        int flags = tail[3] & 5;
        int slot = fixedSlot >= 0 ? fixedSlot : (tail[3] >> 3) % (AVI_PACKET_SLOTS + 2) - 1;
        avi_read_seek(avi.ctx(), stream, timestamp, flags, slot);
        readSome(avi, kPacketsAfterSeek);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    AviFile avi;
    avi.openMemory(bytes);
    readSome(avi, kMaxPackets);
    if (size >= 4 * kSeeks)
        seekAndRead(avi, data + size - 4 * kSeeks, -1);

    const int slot = size > 0 ? data[size - 1] % AVI_PACKET_SLOTS : 0;
    AviFile backward;
    backward.openMemory(bytes, slot);
    readSome(backward, kMaxPackets);
    if (size >= 4 * kSeeks)
        seekAndRead(backward, data + size - 4 * kSeeks, slot);
    avi_set_to_end_packet(backward.ctx(), slot);
    readSome(backward, kMaxPackets);
    return 0;
}
