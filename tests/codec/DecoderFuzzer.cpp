// Arbitrary packets into the decoders: the first byte picks the decoder, then
// packets follow, each after a 16-bit little-endian length.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "CodecTestSupport.h"
#include "codec/ACAACDecoder.h"
#include "codec/ACADPCMDecoder.h"
#include "codec/ACH264Decoder.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrameBytes = kWidth * kHeight * 3 / 2;
constexpr int kAudioIds[] = {codectest::kAac, codectest::kMsAdpcm, codectest::kSwfAdpcm};

std::vector<std::vector<uint8_t>> packets(const uint8_t* data, size_t size) {
    std::vector<std::vector<uint8_t>> out;
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t n = std::min<size_t>(size - at - 2, data[at] | data[at + 1] << 8);
        out.emplace_back(data + at + 2, data + at + 2 + n);
        at += 2 + n;
    }
    return out;
}

void fuzzVideo(const std::vector<std::vector<uint8_t>>& input) {
    ACH264Decoder d;
    std::vector<uint8_t> dst(kFrameBytes);
    int key = 0;
    for (const auto& p : input)
        d.DecodeBuffer(0, p.data(), int(p.size()), &key, kWidth, kHeight, dst.data(), kFrameBytes);
    while (d.Drain(&key, dst.data(), kFrameBytes)) {
    }
}

void fuzzAudio(int id, const std::vector<std::vector<uint8_t>>& input) {
    std::unique_ptr<ACDecoder> d;
    if (id == codectest::kAac)
        d = std::make_unique<ACAACDecoder>();
    else
        d = std::make_unique<ACADPCMDecoder>();
    d->setOutputRate(44100);
    for (const auto& p : input) {
        int n = 0;
        d->DecodeBuffer(id, p.data(), int(p.size()), &n, 0, 0, nullptr, 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const auto input = packets(data + 1, size - 1);
    const int choice = data[0] % 4;
    if (choice == 0)
        fuzzVideo(input);
    else
        fuzzAudio(kAudioIds[choice - 1], input);
    return 0;
}
