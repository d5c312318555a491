// Speed of the clip writer and of backward reading, beside forward reading
// of the same file. The clip is made once, in a temporary folder: 20 minutes
// of 25 fps video (5 KB frames, a key frame every 25) with ADPCM sound. Each
// run reports the packets it delivered per pass, so that the two directions
// are seen to read the same packets.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "AviFile.h"
#include "ClipFile.h"
#include "TempDir.h"
#include "container/riff.h"

using namespace container;

namespace {

constexpr int kFrames = 25 * 60 * 20;
constexpr int kFrameBytes = 5000;
constexpr int kAudioBlock = 1024;

// Writes the clip; the bytes written.
int64_t writeClip(const std::string& path) {
    containertest::ClipFile clip;
    if (!clip.open(path))
        return -1;
    clip.addVideo(MKTAG('H', '2', '6', '4'), 1280, 720)->codec_id = CODEC_ID_H264;
    // one 1024-byte block per 4 frames (160 ms)
    clip.addAudio(CODEC_ID_ADPCM_MS, 2, 51200, kAudioBlock);
    avi_write_header(clip.ctx());
    const std::string frame(kFrameBytes, 'v');
    const std::string block(kAudioBlock, 'a');
    for (int i = 0; i < kFrames; i++) {
        clip.write(0, i, i % 25 == 0, frame.substr(0, kFrameBytes - (i % 7)));
        if (i % 4 == 0)
            clip.write(1, i, true, block);
    }
    avi_write_trailer(clip.ctx());
    const int64_t size = url_ftell(clip.ctx()->pb);
    url_fclose(clip.ctx()->pb);
    clip.ctx()->pb = nullptr;
    return size;
}

const std::string& clipPath() {
    static testsupport::TempDir dir;
    static const std::string path = dir.file("bench.avi");
    static const int64_t written = writeClip(path);
    (void)written;
    return path;
}

// Reads the whole clip forwards or backwards; the packets read.
int64_t readClip(const std::string& path, bool backward) {
    containertest::AviFile avi;
    if ((backward ? avi.openBackward(path, 0) : avi.open(path)) < 0)
        return -1;
    int64_t packets = 0;
    for (containertest::ProbePacket p; avi.readOne(&p) >= 0;)
        packets++;
    return packets;
}

void BM_WriteClip(benchmark::State& state) {
    testsupport::TempDir dir;
    int64_t bytes = 0;
    for (auto _ : state)
        bytes += writeClip(dir.file("write.avi"));
    state.SetBytesProcessed(bytes);
}

// Argument 0 reads forwards, 1 backwards.
void BM_Read(benchmark::State& state) {
    const bool backward = state.range(0) != 0;
    const std::string& path = clipPath();
    int64_t packets = 0;
    for (auto _ : state)
        packets += readClip(path, backward);
    state.SetLabel(backward ? "backward" : "forward");
    state.counters["packets/s"] =
        benchmark::Counter(static_cast<double>(packets), benchmark::Counter::kIsRate);
    state.counters["packets"] =
        benchmark::Counter(static_cast<double>(packets), benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_WriteClip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
