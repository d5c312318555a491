// Speed of the clip writer and of backward reading, beside forward reading
// of the same file. The clip is made once, in a temporary folder: 20 minutes
// of 25 fps video (5 KB frames, a key frame every 25) with ADPCM sound. Each
// run reports the packets it delivered per pass, so that the two directions
// are seen to read the same packets.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "TempDir.h"
#include "container/avibackward.h"
#include "container/avienc.h"
#include "container/riff.h"

using namespace container;

namespace {

constexpr int kFrames = 25 * 60 * 20;
constexpr int kFrameBytes = 5000;
constexpr int kAudioBlock = 1024;

// Writes the clip; the bytes written.
int64_t writeClip(const std::string& path) {
    AVFormatContext ctx{};
    AVIMuxContext mux{};
    ctx.priv_data = &mux;
    if (url_fopen(&ctx.pb, path.c_str(), URL_WRONLY) < 0)
        return -1;
    AVCodecContext* v = av_new_stream_avi(&ctx, 0)->codec;
    v->codec_type = CODEC_TYPE_VIDEO;
    v->codec_tag = MKTAG('H', '2', '6', '4');
    v->codec_id = CODEC_ID_H264;
    v->width = 1280;
    v->height = 720;
    v->time_base = {1, 25};
    AVCodecContext* a = av_new_stream_avi(&ctx, 1)->codec;
    a->codec_type = CODEC_TYPE_AUDIO;
    a->codec_id = CODEC_ID_ADPCM_MS;
    a->codec_tag = 2;
    a->sample_rate = 8000;
    a->channels = 1;
    a->bit_rate = 51200;  // one 1024-byte block per 4 frames (160 ms)
    a->bits_per_coded_sample = 4;
    a->block_align = kAudioBlock;
    avi_write_header(&ctx);
    std::string frame(kFrameBytes, 'v');
    std::string block(kAudioBlock, 'a');
    for (int i = 0; i < kFrames; i++) {
        AVPacket pkt{};
        av_init_packet(&pkt);
        pkt.dts = i;
        pkt.flags = i % 25 == 0 ? PKT_FLAG_KEY : 0;
        pkt.data = reinterpret_cast<uint8_t*>(frame.data());
        pkt.size = kFrameBytes - (i % 7);
        avi_write_packet(&ctx, &pkt);
        if (i % 4 == 0) {
            pkt.stream_index = 1;
            pkt.data = reinterpret_cast<uint8_t*>(block.data());
            pkt.size = kAudioBlock;
            avi_write_packet(&ctx, &pkt);
        }
    }
    avi_write_trailer(&ctx);
    const int64_t size = url_ftell(ctx.pb);
    url_fclose(ctx.pb);
    avformat_free_context_avi(&ctx);
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
    AVFormatContext ctx{};
    AVIContext avi{};
    ctx.priv_data = &avi;
    if (url_fopen(&ctx.pb, path.c_str(), URL_RDONLY) < 0)
        return -1;
    if (backward)
        avi_read_header_backward(&ctx, nullptr, 0);
    else
        avi_read_header(&ctx, nullptr);
    AVPacket pkt{};
    av_init_packet(&pkt);
    int64_t packets = 0;
    while ((backward ? avi_read_packet_backward(&ctx, &pkt, 0) : avi_read_packet(&ctx, &pkt)) >= 0)
        packets++;
    av_destruct_packet(&pkt);
    avi_read_close(&ctx);
    avformat_free_context_avi(&ctx);
    url_fclose(ctx.pb);
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
