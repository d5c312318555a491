// libFuzzer target: header, packets, key-frame seeks and backward reading
// of the FLV reader over bytes in memory. The last 6 bytes choose three
// seek targets; the last one also the backward slot.
#include "FlvFile.h"

using namespace container;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const int slot = size > 0 ? data[size - 1] % FLV_PACKET_SLOTS : 0;
    containertest::FlvFile forward, backward;
    forward.openMemory(bytes);
    backward.openMemory(bytes, slot);
    for (containertest::FlvFile* f : {&forward, &backward}) {
        f->readAll(nullptr, 4000);
        for (size_t k = 0; size >= 6 && k < 6; k += 2) {
            flv_seek_frame(f->ctx(), (data[size - 6 + k] << 8 | data[size - 5 + k]) * 10 - 1000, 0,
                           slot);
            f->readAll(nullptr, 200);
        }
    }
    flv_set_to_end_packet(backward.ctx(), slot);
    flv_have_packet(backward.ctx(), slot);
    backward.readAll(nullptr, 4000);
    return 0;
}
