#pragma once

// The PCM that every audio decoder hands out and the sound path plays: mono
// signed 16-bit little-endian samples. The one definition of that sample for
// the decoders and the engine's sound ring and output.
namespace PcmFormat {
constexpr int kBytesPerSample = 2;
constexpr int kSampleBits = 8 * kBytesPerSample;
}  // namespace PcmFormat
