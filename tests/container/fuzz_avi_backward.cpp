// libFuzzer target: backward reading over bytes in memory. The header is
// read for a slot chosen by the last input byte; the groups are read back to
// the start, then a forward seek (chosen by the last bytes) moves the slot
// and backward reading goes on from there.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "AviFile.h"
#include "container/avibackward.h"

using namespace container;

namespace {

constexpr int kMaxPackets = 4000;
constexpr int kTailBytes = 4;

void readBackward(AVFormatContext* ctx, AVPacket* pkt, int slot) {
    for (int n = 0; n < kMaxPackets && avi_read_packet_backward(ctx, pkt, slot) >= 0; ++n) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    AVFormatContext ctx{};
    AVIContext avi{};
    ctx.priv_data = &avi;
    ctx.pb = containertest::openMemoryStream(bytes);
    if (!ctx.pb)
        return 0;
    const int slot = size > 0 ? data[size - 1] % AVI_PACKET_SLOTS : 0;
    AVPacket pkt{};
    av_init_packet(&pkt);

    avi_read_header_backward(&ctx, nullptr, slot);
    readBackward(&ctx, &pkt, slot);
    if (size >= kTailBytes) {
        const uint8_t* tail = data + size - kTailBytes;
        const int64_t timestamp = static_cast<int8_t>(tail[0]) * 5 + tail[1];
        avi_read_seek(&ctx, 0, timestamp, tail[2] & 5, slot);
        readBackward(&ctx, &pkt, slot);
        avi_set_to_end_packet(&ctx, slot);
        readBackward(&ctx, &pkt, slot);
    }

    av_destruct_packet(&pkt);
    avi_read_close(&ctx);
    avformat_free_context_avi(&ctx);
    containertest::closeMemoryStream(ctx.pb);
    return 0;
}
