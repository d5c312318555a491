// libFuzzer target: header, packets, key-frame seeks and backward reading
// of the FLV reader over bytes in memory. The last bytes of the input
// choose the seek targets and the backward slot.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FlvFile.h"

using namespace container;
using containertest::FlvFile;
using containertest::ProbePacket;

namespace {

constexpr size_t kMaxPackets = 4000;
constexpr size_t kPacketsAfterSeek = 200;
constexpr int kSeeks = 3;

void readSome(FlvFile& flv, size_t limit) {
    ProbePacket p;
    for (size_t n = 0; n < limit && flv.readOne(&p) >= 0; ++n) {
    }
}

// Seeks to the targets the 3-byte groups of tail give, reading a little after each.
void seekAndRead(FlvFile& flv, const uint8_t* tail, int slot) {
    for (int k = 0; k < kSeeks; ++k, tail += 3) {
        const int64_t target = (int64_t{tail[0]} << 8 | tail[1]) * 10 - 1000;
        flv_seek_frame(flv.ctx(), target, 0, slot < 0 ? tail[2] % (FLV_PACKET_SLOTS + 1) : slot);
        readSome(flv, kPacketsAfterSeek);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const uint8_t* tail = size >= 3 * kSeeks ? data + size - 3 * kSeeks : nullptr;
    FlvFile forward;
    forward.openMemory(bytes);
    readSome(forward, kMaxPackets);
    if (tail)
        seekAndRead(forward, tail, -1);

    const int slot = size > 0 ? data[size - 1] % FLV_PACKET_SLOTS : 0;
    FlvFile backward;
    backward.openMemory(bytes, slot);
    readSome(backward, kMaxPackets);
    if (tail)
        seekAndRead(backward, tail, slot);
    flv_set_to_end_packet(backward.ctx(), slot);
    flv_have_packet(backward.ctx(), slot);
    readSome(backward, kMaxPackets);
    return 0;
}
