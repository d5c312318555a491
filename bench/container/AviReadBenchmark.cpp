// Reads every packet of a large recording-like file with our reader, and
// times `ffmpeg -i f.avi -map 0 -c copy -f null -` on the same file in the
// same run. Needs ORDAVEX_TESTDATA (the generated fixtures).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "AviFile.h"
#include "Command.h"
#include "TestData.h"

using namespace containertest;

namespace {

// 600 loops of the 4 s H.264 + MS ADPCM fixture: 40 minutes, 69600 packets, 108 MB.
const std::string& largeFile() {
    static std::string path;
    if (!path.empty())
        return path;
    path = testsupport::testDataDir() + "/bench_40min.avi";
    if (!std::filesystem::exists(path)) {
        testsupport::ffmpeg({"-stream_loop", "599", "-i",
                             testsupport::testDataFile("h264_adpcm_ms.avi"), "-map", "0", "-c",
                             "copy", "-fflags", "+bitexact", "-y", path});
    }
    return path;
}

size_t readAllPackets() {
    AviFile avi;
    if (avi.open(largeFile()) != 0)
        return 0;
    return avi.readAll().size();
}

void ffmpegCopy(const std::string& file) {
    testsupport::ffmpeg({"-i", file, "-map", "0", "-c", "copy", "-f", "null", "-"});
}

void BM_ReadAllPackets(benchmark::State& state) {
    size_t packets = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(packets = readAllPackets());
    state.counters["packets"] = static_cast<double>(packets);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(largeFile())));
}
BENCHMARK(BM_ReadAllPackets)->Unit(benchmark::kMillisecond);

void BM_FfmpegCopy(benchmark::State& state) {
    for (auto _ : state)
        ffmpegCopy(largeFile());
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(largeFile())));
}
BENCHMARK(BM_FfmpegCopy)->Unit(benchmark::kMillisecond);

// ffmpeg's own start-up and probing, on the 4 s fixture.
void BM_FfmpegCopySmall(benchmark::State& state) {
    std::string small = testsupport::testDataFile("h264_adpcm_ms.avi");
    for (auto _ : state)
        ffmpegCopy(small);
}
BENCHMARK(BM_FfmpegCopySmall)->Unit(benchmark::kMillisecond);

template <typename Fn>
double medianMs(Fn fn, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        fn();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    largeFile();
    benchmark::RunSpecifiedBenchmarks();
    double ours = medianMs([] { readAllPackets(); }, 7);
    double theirs = medianMs([] { ffmpegCopy(largeFile()); }, 7);
    std::printf("median of 7: reader %.1f ms, ffmpeg -c copy %.1f ms, ratio %.3f\n", ours, theirs,
                ours / theirs);
    benchmark::Shutdown();
    return 0;
}
