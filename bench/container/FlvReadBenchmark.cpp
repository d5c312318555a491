// Reads every packet of a 20-minute FLV file (H.264 + AAC) with our reader,
// and times `ffmpeg -i f.flv -map 0 -c copy -f null -` on the same file in
// the same run. The file is made on first use in a temporary folder.
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

void BM_FfmpegCopy(benchmark::State& state) {
    largeFile();
    for (auto _ : state)
        testsupport::ffmpeg({"-i", largeFile(), "-map", "0", "-c", "copy", "-f", "null", "-"});
    state.SetBytesProcessed(state.iterations() * fileBytes());
}
BENCHMARK(BM_FfmpegCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
