#include "codec/AudioDecoderCore.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

#include "codec/PcmFormat.h"

namespace {

constexpr unsigned int kInitialOutputBytes = 384000;
// One packet's PCM beyond this is not audio a recorder writes.
constexpr int64_t kMaxOutputBytes = 64 * 1024 * 1024;
constexpr int kMaxExtraBytes = 1024 * 1024;

}  // namespace

AudioDecoderCore::AudioDecoderCore() {
    output = static_cast<uint8_t*>(av_malloc(kInitialOutputBytes));
    capacity = output ? kInitialOutputBytes : 0;
}

AudioDecoderCore::~AudioDecoderCore() {
    session.Close();
    av_free(output);
}

bool AudioDecoderCore::open(int codecId, const OpenDefaults& d) {
    const AudioStreamInfo info = stream;
    const auto configure = [&info, &d](AVCodecContext* c) {
        c->codec_type = AVMEDIA_TYPE_AUDIO;
        c->bits_per_coded_sample = 16;
        av_channel_layout_uninit(&c->ch_layout);
        av_channel_layout_default(&c->ch_layout, info.channels > 0 ? info.channels : 1);
        c->sample_rate = info.sampleRate > 0 ? info.sampleRate : d.sampleRate;
        if (d.bitRate > 0)
            c->bit_rate = d.bitRate;
        c->block_align = info.blockAlign;
        const int extra = int(info.extra.size());
        if (extra > 0 && extra <= kMaxExtraBytes) {
            c->extradata =
                static_cast<uint8_t*>(av_mallocz(size_t(extra) + AV_INPUT_BUFFER_PADDING_SIZE));
            if (c->extradata) {
                std::memcpy(c->extradata, info.extra.data(), size_t(extra));
                c->extradata_size = extra;
            }
        }
    };
    switch (session.Open(codecId, configure)) {
        case CodecSession::OpenResult::Opened:
            needsOpen = false;
            converter.Reset();
            return true;
        case CodecSession::OpenResult::NotFound:
            std::fputs("pCodec not found\n", stderr);
            return false;
        case CodecSession::OpenResult::OpenFailed:
            std::fputs(d.openFailMessage, stderr);
            return false;
    }
    return false;
}

bool AudioDecoderCore::reserve(int samples) {
    const int64_t need = used + int64_t(samples) * PcmFormat::kBytesPerSample;
    if (need > kMaxOutputBytes)
        return false;
    if (need > capacity) {
        // av_fast_realloc keeps the PCM already gathered for this packet.
        unsigned int size = capacity;
        void* grown = av_fast_realloc(output, &size, size_t(need));
        if (!grown)
            return false;
        output = static_cast<uint8_t*>(grown);
        capacity = size;
    }
    return true;
}

bool AudioDecoderCore::append(const AVFrame* frame) {
    const int most = converter.Prepare(frame, outputRate);
    if (most < 0 || !reserve(most))
        return false;
    const int got = converter.Convert(frame, output + used, most);
    if (got < 0)
        return false;
    used += int64_t(got) * PcmFormat::kBytesPerSample;
    return true;
}

unsigned char* AudioDecoderCore::Decode(int codecId, const unsigned char* data, int size, int* out,
                                        const OpenDefaults& defaults) {
    if (!data || size <= 0 || !output)
        return nullptr;
    if (needsOpen && !open(codecId, defaults))
        return nullptr;
    used = 0;
    session.Decode(data, size, [this](AVFrame* f) { append(f); });
    if (used <= 0)
        return nullptr;
    if (out)
        *out = int(used);
    return output;
}

unsigned char* AudioDecoderCore::Drain(int* out, unsigned char*, int) {
    if (!output || !session.IsOpen())
        return nullptr;
    used = 0;
    AVFrame* frame = av_frame_alloc();
    while (frame && session.DrainOne(frame)) {
        append(frame);
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    const int held = converter.Pending();
    if (held > 0 && reserve(held)) {
        const int got = converter.Drain(output + used, held);
        used += got > 0 ? int64_t(got) * PcmFormat::kBytesPerSample : 0;
    }
    converter.Reset();
    if (used <= 0)
        return nullptr;
    if (out)
        *out = int(used);
    return output;
}

int AudioDecoderCore::Reset() {
    session.Close();
    converter.Reset();
    needsOpen = true;
    return 1;
}

void AudioDecoderCore::Flush() {
    session.Flush();
    converter.Reset();
}

void AudioDecoderCore::setOutputRate(int hz) {
    outputRate = hz > 0 ? hz : 0;
}

void AudioDecoderCore::setStreamInfo(const AudioStreamInfo& info) {
    if (info == stream)
        return;
    stream = info;
    needsOpen = true;
}
