#include "container/avformat.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "container/mem.h"

namespace container {

namespace {

void clear_packet_data(AVPacket* pkt) {
    pkt->data = nullptr;
    pkt->size = 0;
}

// Makes sure data holds at least size bytes (plus 8 zero bytes behind the
// capacity); a buffer that is large enough is kept.
int prepare_packet(AVPacket* pkt, int size) {
    if (size < 0 || size > kMaxPacketSize)
        return AVERROR_INVAL;
    if (pkt->data && pkt->capacity >= size) {
        av_init_packet(pkt);
        pkt->destruct = av_destruct_packet;
        pkt->size = size;
        return 0;
    }
    std::free(pkt->data);
    pkt->data = nullptr;
    pkt->capacity = 0;
    size_t capacity = static_cast<size_t>(std::max(size, kMinPacketBuffer));
    uint8_t* data = static_cast<uint8_t*>(std::malloc(capacity + FF_INPUT_BUFFER_PADDING_SIZE));
    if (!data) {
        pkt->size = 0;
        return AVERROR_NOMEM;
    }
    std::memset(data + capacity, 0, FF_INPUT_BUFFER_PADDING_SIZE);
    av_init_packet(pkt);
    pkt->data = data;
    pkt->capacity = static_cast<int>(capacity);
    pkt->size = static_cast<int>(capacity);
    pkt->destruct = av_destruct_packet;
    return 0;
}

// First entry whose timestamp is at or above timestamp (count when none).
int first_entry_at_or_after(const AVStream* st, int64_t timestamp) {
    const AVIndexEntry* begin = st->index_entries;
    const AVIndexEntry* end = begin + st->nb_index_entries;
    const AVIndexEntry* it = std::lower_bound(
        begin, end, timestamp, [](const AVIndexEntry& e, int64_t t) { return e.timestamp < t; });
    return static_cast<int>(it - begin);
}

}  // namespace

void avcodec_get_context_defaults(AVCodecContext* ctx) {
    avcodec_get_context_defaults2(ctx, CODEC_TYPE_UNKNOWN);
}

void avcodec_get_context_defaults2(AVCodecContext* ctx, int codec_type) {
    std::memset(ctx, 0, sizeof *ctx);
    ctx->time_base = AVRational{0, 1};
    ctx->codec_type = codec_type;
}

AVCodecContext* avcodec_alloc_context() {
    return avcodec_alloc_context2(CODEC_TYPE_UNKNOWN);
}

AVCodecContext* avcodec_alloc_context2(int codec_type) {
    AVCodecContext* ctx = static_cast<AVCodecContext*>(av_malloc(sizeof(AVCodecContext)));
    if (ctx)
        avcodec_get_context_defaults2(ctx, codec_type);
    return ctx;
}

void av_set_pts_info(AVStream* st, int, int num, int den) {
    st->time_base = AVRational{num, den};
}

AVStream* av_new_stream_avi(AVFormatContext* s, int id) {
    if (s->nb_streams >= MAX_STREAMS)
        return nullptr;
    AVStream* st = static_cast<AVStream*>(av_mallocz(sizeof(AVStream)));
    AVCodecContext* codec = avcodec_alloc_context();
    if (!st || !codec) {
        av_free(st);
        av_free(codec);
        return nullptr;
    }
    st->codec = codec;
    st->index = static_cast<int>(s->nb_streams);
    st->id = id;
    st->start_time = AV_NOPTS_VALUE;
    st->duration = AV_NOPTS_VALUE;
    av_set_pts_info(st, 33, 1, 90000);
    s->streams[s->nb_streams++] = st;
    return st;
}

void avformat_free_context_avi(AVFormatContext* s) {
    for (unsigned i = 0; i < s->nb_streams && i < MAX_STREAMS; ++i) {
        AVStream* st = s->streams[i];
        if (!st)
            continue;
        av_freep(&st->index_entries);
        if (st->codec)
            av_freep(&st->codec->extradata);
        av_freep(&st->codec);
        av_freep(&st->priv_data);
        av_metadata_free(&st->metadata);
        av_freep(&s->streams[i]);
    }
    for (unsigned i = s->nb_chapters; i-- > 0;) {
        av_freep(&s->chapters[i]->title);
        av_metadata_free(&s->chapters[i]->metadata);
        av_freep(&s->chapters[i]);
    }
    av_freep(&s->chapters);
    av_metadata_free(&s->metadata);
    s->nb_chapters = 0;
    s->nb_streams = 0;
}

void av_init_packet(AVPacket* pkt) {
    pkt->pts = AV_NOPTS_VALUE;
    pkt->dts = AV_NOPTS_VALUE;
    pkt->pos = -1;
    pkt->convergence_duration = 0;
    pkt->flags = 0;
    pkt->stream_index = 0;
    pkt->destruct = clear_packet_data;
}

void av_destruct_packet(AVPacket* pkt) {
    std::free(pkt->data);
    pkt->data = nullptr;
    pkt->size = 0;
    pkt->capacity = 0;
}

int av_new_packet(AVPacket* pkt, int size) {
    return prepare_packet(pkt, size);
}

int av_get_packet(ByteIOContext* pb, AVPacket* pkt, int size) {
    int err = prepare_packet(pkt, size);
    if (err < 0)
        return err;
    pkt->pos = url_ftell(pb);
    int got = get_buffer(pb, pkt->data, size);
    if (got <= 0) {
        pkt->destruct(pkt);
        return got;
    }
    pkt->size = got;
    // Decoders may read a little past the payload: keep those bytes zero.
    std::memset(pkt->data + got, 0, FF_INPUT_BUFFER_PADDING_SIZE);
    return got;
}

int av_add_index_entry(AVStream* st, int64_t pos, int64_t timestamp, int size, int distance,
                       int flags) {
    if (size < 0 || size > kMaxPacketSize)
        return -1;
    if (static_cast<int64_t>(st->nb_index_entries) + 1 > kMaxIndexEntries)
        return -1;
    uint64_t bytes = (static_cast<uint64_t>(st->nb_index_entries) + 1) * sizeof(AVIndexEntry);
    void* grown = av_fast_realloc(st->index_entries, &st->index_entries_allocated_size, bytes);
    if (!grown)
        return -1;  // the old array and count stay valid
    st->index_entries = static_cast<AVIndexEntry*>(grown);

    int i = first_entry_at_or_after(st, timestamp);
    AVIndexEntry* e = &st->index_entries[i];
    if (i == st->nb_index_entries) {
        st->nb_index_entries++;
        e->min_distance = distance;
    } else if (e->timestamp == timestamp) {
        e->min_distance = e->pos == pos ? std::max(e->min_distance, distance) : distance;
    } else {
        std::memmove(e + 1, e,
                     sizeof(AVIndexEntry) * static_cast<size_t>(st->nb_index_entries - i));
        st->nb_index_entries++;
        e->min_distance = distance;
    }
    e->pos = pos;
    e->timestamp = timestamp;
    e->size = static_cast<unsigned>(size);
    e->flags = static_cast<unsigned>(flags) & 3;
    return i;
}

int av_index_search_timestamp(AVStream* st, int64_t timestamp, int flags) {
    int count = st->nb_index_entries;
    int b = first_entry_at_or_after(st, timestamp);  // first at or above
    int a = (b < count && st->index_entries[b].timestamp == timestamp) ? b : b - 1;
    bool backward = flags & AVSEEK_FLAG_BACKWARD;
    int m = backward ? a : b;
    if (!(flags & AVSEEK_FLAG_ANY)) {
        while (m >= 0 && m < count && !(st->index_entries[m].flags & AVINDEX_KEYFRAME))
            m += backward ? -1 : 1;
    }
    return (m < 0 || m >= count) ? -1 : m;
}

}  // namespace container
