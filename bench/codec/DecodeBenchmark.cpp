// Decoding speed of one channel's video decoder on 1080p, beside the ffmpeg
// tool decoding the same file on one thread in the same run.
#include <benchmark/benchmark.h>

#include <memory>

#include "CodecTestSupport.h"
#include "Command.h"
#include "TempDir.h"
#include "codec/ACH264Decoder.h"

using namespace codectest;
using namespace testsupport;

namespace {

constexpr int kFrames = 100;
constexpr int kFrameBytes = 1920 * 1080 * 3 / 2;

struct Clip {
    std::string file;
    std::vector<Bytes> packets;
};

// 1080p, 25 fps, key frame every second, like a recorder's channel.
const Clip& clip(bool hevc) {
    static TempDir dir;
    static std::unique_ptr<Clip> clips[2];
    std::unique_ptr<Clip>& c = clips[hevc];
    if (c)
        return *c;
    c = std::make_unique<Clip>();
    c->file = dir.file(hevc ? "hevc1080.avi" : "h2641080.avi");
    std::vector<std::string> args{"-f",        "lavfi",
                                  "-i",        "testsrc2=size=1920x1080:rate=25:duration=4",
                                  "-frames:v", std::to_string(kFrames)};
    if (hevc) {
        args.insert(args.end(), {"-c:v", "libx265", "-preset", "veryfast", "-tag:v", "HEVC",
                                 "-x265-params", "log-level=error:keyint=25:bframes=0"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-bf", "0", "-g", "25"});
    }
    args.push_back(c->file);
    ffmpeg(args);
    c->packets = readPackets(c->file, "v:0");
    return *c;
}

void OurDecoder(benchmark::State& state) {
    const Clip& c = clip(state.range(0));
    Bytes dst(kFrameBytes);
    int64_t frames = 0;
    for (auto _ : state) {
        ACH264Decoder d;
        int key = 0;
        for (const Bytes& p : c.packets) {
            if (d.DecodeBuffer(0, p.data(), int(p.size()), &key, 1920, 1080, dst.data(),
                               kFrameBytes))
                ++frames;
        }
        while (d.Drain(&key, dst.data(), kFrameBytes))
            ++frames;
    }
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}

void FfmpegOneThread(benchmark::State& state) {
    const Clip& c = clip(state.range(0));
    for (auto _ : state)
        ffmpeg({"-threads", "1", "-i", c.file, "-f", "null", "-"});
    state.counters["fps"] =
        benchmark::Counter(double(kFrames * state.iterations()), benchmark::Counter::kIsRate);
}

// Arg 0: H.264, 1: HEVC. Wall time for both, the tool being another process.
BENCHMARK(OurDecoder)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FfmpegOneThread)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
