// Reads every packet of a 20-minute FLV file (H.264 + AAC) with our reader,
// and times `ffmpeg -i f.flv -map 0 -c copy -f null -` on the same file in
// the same run. The file is made on first use in a temporary folder.
// Files of only key frames (up to 300,000, in memory) read forwards,
// backwards and with falling timestamps show that reading time grows in
// step with the file whatever the order of its times (the complexity fit).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "Command.h"
#include "FlvFile.h"
#include "TempDir.h"

using namespace containertest;

namespace {

// 60 loops of a 20 s clip at 640x360, 25 frames/s, with AAC sound.
const std::string& largeFile() {
    static testsupport::TempDir dir;
    static std::string path;
    if (!path.empty())
        return path;
    const std::string clip = dir.file("clip.flv");
    testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=20", "-f",
                         "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=20", "-c:v",
                         "libx264", "-preset", "veryfast", "-g", "50", "-c:a", "aac", clip});
    path = dir.file("bench_20min.flv");
    testsupport::ffmpeg({"-stream_loop", "59", "-i", clip, "-map", "0", "-c", "copy", path});
    return path;
}

int64_t fileBytes() {
    return static_cast<int64_t>(std::filesystem::file_size(largeFile()));
}

void BM_FlvReadAllPackets(benchmark::State& state) {
    size_t packets = 0;
    largeFile();  // made before the timing
    for (auto _ : state) {
        FlvFile flv;
        if (flv.open(largeFile()) == 0)
            benchmark::DoNotOptimize(packets = flv.readAll().size());
    }
    state.counters["packets"] = static_cast<double>(packets);
    state.counters["file_mb"] = static_cast<double>(fileBytes()) / 1e6;
    state.SetBytesProcessed(state.iterations() * fileBytes());
}
BENCHMARK(BM_FlvReadAllPackets)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same packets (less the audio at group edges) backwards, newest group first.
void BM_FlvReadBackward(benchmark::State& state) {
    size_t packets = 0;
    largeFile();  // made before the timing
    for (auto _ : state) {
        FlvFile flv;
        if (flv.open(largeFile(), 0) == 0)
            benchmark::DoNotOptimize(packets = flv.readAll().size());
    }
    state.counters["packets"] = static_cast<double>(packets);
    state.SetBytesProcessed(state.iterations() * fileBytes());
}
BENCHMARK(BM_FlvReadBackward)->Unit(benchmark::kMillisecond)->UseRealTime();

// n video key frames of one payload byte each (17 bytes a tag), 40 ms
// apart, rising or falling.
std::vector<uint8_t> keyFrames(int64_t n, bool falling) {
    std::vector<uint8_t> f = {'F', 'L', 'V', 1, 1, 0, 0, 0, 9, 0, 0, 0, 0};
    f.reserve(size_t(n) * 17 + f.size());
    for (int64_t i = 0; i < n; i++) {
        const uint32_t ts = uint32_t((falling ? n - 1 - i : i) * 40);
        const uint8_t tag[] = {9,
                               0,
                               0,
                               2,
                               uint8_t(ts >> 16),
                               uint8_t(ts >> 8),
                               uint8_t(ts),
                               uint8_t(ts >> 24),
                               0,
                               0,
                               0,
                               0x12,
                               0x7A,
                               0,
                               0,
                               0,
                               13};
        f.insert(f.end(), std::begin(tag), std::end(tag));
    }
    return f;
}

void readKeyFrames(benchmark::State& state, bool falling, int slot) {
    const std::vector<uint8_t> file = keyFrames(state.range(0), falling);
    size_t packets = 0;
    for (auto _ : state) {
        FlvFile flv;
        if (flv.openMemory(file, slot) == 0)
            benchmark::DoNotOptimize(packets = flv.readAll().size());
    }
    state.counters["packets"] = static_cast<double>(packets);
    state.counters["file_mb"] = static_cast<double>(file.size()) / 1e6;
    state.SetComplexityN(state.range(0));
}

void BM_FlvKeyFramesForward(benchmark::State& state) {
    readKeyFrames(state, false, -1);
}
void BM_FlvKeyFramesFalling(benchmark::State& state) {
    readKeyFrames(state, true, -1);
}
void BM_FlvKeyFramesBackward(benchmark::State& state) {
    readKeyFrames(state, false, 0);
}
void KeyFrameCounts(benchmark::internal::Benchmark* b) {
    b->Arg(100000)->Arg(200000)->Arg(300000)->Complexity(benchmark::oN);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_FlvKeyFramesForward)->Apply(KeyFrameCounts);
BENCHMARK(BM_FlvKeyFramesFalling)->Apply(KeyFrameCounts);
BENCHMARK(BM_FlvKeyFramesBackward)->Apply(KeyFrameCounts);

void BM_FfmpegCopy(benchmark::State& state) {
    largeFile();
    for (auto _ : state)
        testsupport::ffmpeg({"-i", largeFile(), "-map", "0", "-c", "copy", "-f", "null", "-"});
    state.SetBytesProcessed(state.iterations() * fileBytes());
}
BENCHMARK(BM_FfmpegCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
