#include "engine/DemuxChannel.h"

#include <QDebug>
#include <QFile>
#include <algorithm>
#include <cstring>

#include "container/avibackward.h"
#include "container/avidec.h"
#include "container/aviobuf.h"
#include "container/error.h"
#include "container/mathematics.h"

using namespace container;

namespace {
// Timestamps beyond this (ticks) are damage: no recording is that long, and
// it keeps tick x 1000 x num far from overflow.
constexpr int64_t kMaxTicks = int64_t(1) << 40;
constexpr int64_t kMaxTimeBaseNum = int64_t(1) << 20;
constexpr size_t kFileNameBytes = sizeof(AVFormatContext::filename);

bool UsableTimeBase(const AVRational& tb) {
    return tb.num > 0 && tb.den > 0 && tb.num <= kMaxTimeBaseNum;
}

qint64 TicksToMs(int64_t ticks, const AVRational& tb) {
    if (!UsableTimeBase(tb) || ticks < 0 || ticks > kMaxTicks) {
        return -1;
    }
    return qint64(ticks * tb.num * 1000 / tb.den);
}
}  // namespace

DemuxChannel::DemuxChannel(int slot)
    : slot(slot), context(new AVFormatContext{}), avi(new AVIContext{}), packet(new AVPacket{}) {
    av_init_packet(packet.get());
}

DemuxChannel::~DemuxChannel() {
    Close();
    av_destruct_packet(packet.get());
}

bool DemuxChannel::Open(const QString& path, bool backward) {
    Close();
    if (path.isEmpty()) {
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= kFileNameBytes) {
        return Refuse(path, "the path is too long");
    }
    *context = AVFormatContext{};
    *avi = AVIContext{};
    context->priv_data = avi.get();
    std::memcpy(context->filename, name.constData(), size_t(name.size()) + 1);
    if (url_fopen(&context->pb, context->filename, 0) < 0) {
        context->pb = nullptr;
        return Refuse(path, "it cannot be opened");
    }
    open = true;
    const int header = backward ? avi_read_header_backward(context.get(), nullptr, slot)
                                : avi_read_header(context.get(), nullptr);
    if (header < 0 || context->nb_streams == 0) {
        Close();
        return Refuse(path, "it has no readable AVI header");
    }
    if (!backward) {
        ScanIndex();
    }
    durationMs = ComputeDurationMs();
    if (durationMs <= 0) {
        Close();
        return Refuse(path, "it holds no readable packet");
    }
    ended = false;
    countdown = -1;
    return true;
}

bool DemuxChannel::Refuse(const QString& path, const char* why) {
    qDebug().noquote() << "Demux channel" << slot << "skips" << path << "as" << why;
    return false;
}

void DemuxChannel::Close() {
    if (!open) {
        return;
    }
    avi_read_close(context.get());
    avformat_free_context_avi(context.get());
    if (context->pb) {
        url_fclose(context->pb);
    }
    *context = AVFormatContext{};
    open = false;
    ended = false;
    countdown = -1;
    durationMs = 0;
}

// A recorder that lost power wrote no index: one pass builds it (as the
// backward reader does), then reading starts again from the first frame.
void DemuxChannel::ScanIndex() {
    for (unsigned n = 0; n < context->nb_streams; ++n) {
        if (context->streams[n]->nb_index_entries > 0) {
            return;
        }
    }
    const int64_t size = url_fsize(context->pb);
    const int64_t limit = (size > 0 ? size / 8 : 0) + 16;  // a chunk takes 8 bytes at least
    for (int64_t n = 0; n < limit && avi_read_packet(context.get(), packet.get()) >= 0; ++n) {
    }
    if (!avi->index_loaded) {
        avi_load_idx1(context.get());
        avi->index_loaded = 1;
    }
    if (context->nb_streams > 0) {
        avi_read_seek(context.get(), 0, 0, AVSEEK_FLAG_BACKWARD, slot);
    }
}

qint64 DemuxChannel::ComputeDurationMs() const {
    qint64 longest = 0;
    for (unsigned n = 0; n < context->nb_streams; ++n) {
        const AVStream* st = context->streams[n];
        const qint64 ms = TicksToMs(st->nb_index_entries, st->time_base);
        longest = std::max(longest, ms);
    }
    return longest;
}

int DemuxChannel::Read(bool backward) {
    last = Packet{};
    if (!open) {
        return AVERROR_EOF;
    }
    const int result = backward ? avi_read_packet_backward(context.get(), packet.get(), slot)
                                : avi_read_packet(context.get(), packet.get());
    if (result < 0) {
        return result;
    }
    if (url_ferror(context->pb)) {
        return -5;
    }
    Describe();
    return result;
}

void DemuxChannel::Describe() {
    last.data = packet->data;
    last.size = packet->size;
    last.key = (packet->flags & PKT_FLAG_KEY) != 0;
    for (unsigned n = 0; n < context->nb_streams; ++n) {
        const AVStream* st = context->streams[n];
        if (st->id != packet->stream_index || !st->codec) {
            continue;
        }
        last.stream = st;
        last.codecType = st->codec->codec_type;
        last.codecId = int(st->codec->codec_id);
        last.width = st->codec->width;
        last.height = st->codec->height;
        last.dtsMs = TicksToMs(packet->dts, st->time_base);
        return;
    }
}

bool DemuxChannel::Seek(qint64 ms) {
    if (!open || durationMs == 0 || context->nb_streams == 0) {
        return false;
    }
    const AVStream* st = context->streams[0];
    if (!UsableTimeBase(st->time_base) || ms < 0 || ms > kMaxTicks) {
        return false;
    }
    const int64_t ticks = av_rescale_q(ms * 1000, AVRational{1, 1000000}, st->time_base);
    if (avi_read_seek(context.get(), 0, ticks, AVSEEK_FLAG_BACKWARD, slot) < 0) {
        return false;
    }
    ended = false;
    countdown = -1;
    return true;
}

AudioStreamInfo DemuxChannel::AudioInfo(const AVStream* stream) {
    AudioStreamInfo info;
    if (!stream || !stream->codec) {
        return info;
    }
    const AVCodecContext* codec = stream->codec;
    info.sampleRate = codec->sample_rate;
    info.channels = codec->channels;
    info.blockAlign = codec->block_align;
    if (codec->extradata && codec->extradata_size > 0 &&
        codec->extradata_size <= MAX_EXTRADATA_SIZE) {
        info.extra.assign(codec->extradata, codec->extradata + codec->extradata_size);
    }
    return info;
}
