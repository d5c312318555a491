#include "codec/PcmConverter.h"

#include <climits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace {

// Frames beyond these are not audio this player can take.
constexpr int kMaxChannels = 64;
constexpr int kMaxRate = 768000;

// The frame's layout when it names its channels, else the default layout for
// its channel count.
AVChannelLayout inputLayout(const AVFrame* frame) {
    AVChannelLayout layout{};
    const int n = frame->ch_layout.nb_channels;
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC &&
        av_channel_layout_copy(&layout, &frame->ch_layout) == 0)
        return layout;
    av_channel_layout_default(&layout, n);
    return layout;
}

}  // namespace

PcmConverter::~PcmConverter() {
    Reset();
}

void PcmConverter::Reset() {
    swr_free(&swr);
    inFormat = -1;
    inRate = inChannels = outRate = 0;
    inMask = 0;
}

int PcmConverter::Prepare(const AVFrame* frame, int rate) {
    const int channels = frame->ch_layout.nb_channels;
    if (channels <= 0 || channels > kMaxChannels || frame->sample_rate <= 0 ||
        frame->sample_rate > kMaxRate || rate < 0 || rate > kMaxRate || frame->nb_samples < 0)
        return -1;
    if (rate == 0)
        rate = frame->sample_rate;
    AVChannelLayout in = inputLayout(frame);
    const uint64_t mask = in.order == AV_CHANNEL_ORDER_NATIVE ? in.u.mask : 0;
    if (!swr || frame->format != inFormat || frame->sample_rate != inRate ||
        channels != inChannels || mask != inMask || rate != outRate) {
        Reset();
        AVChannelLayout mono{};
        av_channel_layout_default(&mono, 1);
        const int made =
            swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, rate, &in,
                                AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&mono);
        if (made < 0 || swr_init(swr) < 0) {
            av_channel_layout_uninit(&in);
            Reset();
            return -1;
        }
        inFormat = frame->format;
        inRate = frame->sample_rate;
        inChannels = channels;
        inMask = mask;
        outRate = rate;
    }
    av_channel_layout_uninit(&in);
    const int64_t most = av_rescale_rnd(swr_get_delay(swr, inRate) + frame->nb_samples, outRate,
                                        inRate, AV_ROUND_UP);
    return most > INT_MAX ? -1 : int(most);
}

int PcmConverter::Convert(const AVFrame* frame, uint8_t* dst, int capacity) {
    if (!swr)
        return -1;
    uint8_t* planes[1] = {dst};
    const int got =
        swr_convert(swr, planes, capacity, const_cast<const uint8_t**>(frame->extended_data),
                    frame->nb_samples);
    return got < 0 ? -1 : got;
}

int PcmConverter::Pending() const {
    if (!swr)
        return 0;
    const int64_t held = swr_get_delay(swr, outRate);
    return held > INT_MAX ? 0 : int(held);
}

int PcmConverter::Drain(uint8_t* dst, int capacity) {
    if (!swr)
        return 0;
    uint8_t* planes[1] = {dst};
    const int got = swr_convert(swr, planes, capacity, nullptr, 0);
    Reset();
    return got < 0 ? -1 : got;
}
