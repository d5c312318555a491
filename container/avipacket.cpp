// AVI packets forwards (resynchronising scan or index order) and the
// key-frame seek.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "container/avidec.h"
#include "container/mem.h"
#include "container/nalkey.h"
#include "container/riff.h"

namespace container {

namespace {

constexpr int kMaxPaletteChunk = 1028;
constexpr int kPaletteAppend = 1024;

AVIContext* avi_of(AVFormatContext* s) {
    return static_cast<AVIContext*>(s->priv_data);
}
AVIStream* avi_stream_of(AVStream* st) {
    return static_cast<AVIStream*>(st->priv_data);
}

int64_t steps_of(const AVIStream* ast) {
    return std::max(1, ast->sample_size);
}

int64_t stream_time(const AVIStream* ast) {
    return ast->sample_size ? ast->frame_offset / ast->sample_size : ast->frame_offset;
}

bool is_two_chars(int a, int b, char x, char y) {
    return a == x && b == y;
}

int two_digit_stream(int a, int b) {
    return avi_stream_of_tag(static_cast<unsigned>(a & 0xff) | static_cast<unsigned>(b & 0xff)
                                                                   << 8);
}

// H.264 and HEVC streams whose key frames the payload can tell.
bool key_from_payload(const AVStream* st, bool* hevc) {
    const AVCodecContext* c = st->codec;
    if (c->codec_type != CODEC_TYPE_VIDEO)
        return false;
    *hevc = nal_is_hevc_tag(c->codec_tag) || nal_is_hevc_tag(c->stream_codec_tag);
    return *hevc || c->codec_id == CODEC_ID_H264;
}

// The stream to read next in a non-interleaved file: the one earliest in
// time whose index still has an entry from its position on. Prepares the
// reader on that entry. 1 when one was found, 0 when every index is
// exhausted, -1 when no stream has an index at all.
int pick_by_index(AVFormatContext* s) {
    AVIContext* avi = avi_of(s);
    bool anyIndex = false;
    bool skipped[MAX_STREAMS] = {};
    for (;;) {
        int best = -1;
        int64_t best_ts = INT64_MAX;
        for (unsigned i = 0; i < s->nb_streams; ++i) {
            AVStream* st = s->streams[i];
            if (st->nb_index_entries == 0 || skipped[i])
                continue;
            anyIndex = true;
            int64_t us =
                av_rescale(stream_time(avi_stream_of(st)),
                           static_cast<int64_t>(st->time_base.num) * 1000000, st->time_base.den);
            if (us < best_ts || best < 0) {
                best_ts = us;
                best = static_cast<int>(i);
            }
        }
        if (best < 0)
            return anyIndex ? 0 : -1;
        AVStream* st = s->streams[best];
        AVIStream* ast = avi_stream_of(st);
        if (ast->remaining) {
            // Rest of the chunk begun earlier; other streams may have moved the reader.
            if (url_fseek(s->pb, ast->index_pos + (ast->packet_size - ast->remaining) + 8, 0) < 0)
                return 0;
            avi->stream_index = best;
            return 1;
        }
        // Entries whose timestamps collapse (chunks smaller than the sample
        // size) would find the entry just read again: the floor moves past it.
        int64_t ts = std::max(stream_time(ast), ast->index_next_ts);
        int i = av_index_search_timestamp(st, ts, AVSEEK_FLAG_ANY);
        if (i < 0 || st->index_entries[i].timestamp == INT64_MAX) {
            skipped[best] = true;  // exhausted
            continue;
        }
        const AVIndexEntry& e = st->index_entries[i];
        ast->frame_offset = e.timestamp * steps_of(ast);
        ast->index_next_ts = e.timestamp + 1;
        if (e.size == 0 || e.pos == ast->index_pos)
            continue;  // nothing to deliver, or the chunk just read again
        ast->packet_size = ast->remaining = static_cast<int>(e.size);
        ast->index_pos = e.pos;
        if (url_fseek(s->pb, e.pos + 8, 0) < 0)
            return 0;
        avi->stream_index = best;
        return 1;
    }
}

enum class ScanResult { Chunk, Again, End };

// Palette change chunk: colours bounded by the chunk, then on to its end.
void read_palette_change(ByteIOContext* pb, AVIStream* ast, uint32_t size) {
    int64_t end = url_ftell(pb) + size;
    int first = get_byte(pb);
    int count = get_byte(pb);
    get_le16(pb);  // flags
    int last = (first + count - 1) & 0xff;
    int64_t room = size >= 4 ? (size - 4) / 4 : 0;
    for (int k = first, n = 0; n < room; k = (k + 1) & 0xff, ++n) {
        ast->pal[k] = get_be32(pb) >> 8;
        if (k == last)
            break;
    }
    ast->has_pal = 1;
    url_fseek(pb, end, 0);
}

// Looks byte by byte for the next valid chunk header and makes its stream
// the current one. `added` tells whether an index entry was made for it.
ScanResult scan_for_chunk(AVFormatContext* s, int* added) {
    AVIContext* avi = avi_of(s);
    ByteIOContext* pb = s->pb;
    int d[8];
    std::fill(d, d + 8, -1);
    int64_t sync = url_ftell(pb);
    if (url_feof(pb))
        return ScanResult::End;
    const int nb = static_cast<int>(s->nb_streams);
    for (int64_t i = sync;; ++i) {
        int byte = get_byte(pb);
        if (url_feof(pb))
            return ScanResult::End;
        std::memmove(d, d + 1, 7 * sizeof(int));
        d[7] = byte;
        if (d[0] < 0)
            continue;
        uint32_t size = static_cast<uint32_t>(d[4]) | static_cast<uint32_t>(d[5]) << 8 |
                        static_cast<uint32_t>(d[6]) << 16 | static_cast<uint32_t>(d[7]) << 24;
        if (i + static_cast<int64_t>(size) > avi->fsize)
            continue;
        if ((is_two_chars(d[0], d[1], 'i', 'x') && two_digit_stream(d[2], d[3]) < nb) ||
            (d[0] == 'J' && d[1] == 'U' && d[2] == 'N' && d[3] == 'K') ||
            (d[0] == 'i' && d[1] == 'd' && d[2] == 'x' && d[3] == '1')) {
            url_fskip(pb, size);
            return ScanResult::Again;
        }
        int n = two_digit_stream(d[0], d[1]);
        if (!((i - avi->last_pkt_pos) & 1) && two_digit_stream(d[1], d[2]) < nb)
            continue;
        if (n >= nb)
            continue;
        if (nb >= 2 && is_two_chars(d[2], d[3], 'w', 'b') && n == 0) {
            AVStream* v = s->streams[0];
            AVStream* a = s->streams[1];
            AVIStream* av = avi_stream_of(v);
            AVIStream* aa = avi_stream_of(a);
            if (v->codec->codec_type == CODEC_TYPE_VIDEO &&
                a->codec->codec_type == CODEC_TYPE_AUDIO && av->prefix == ('d' << 8 | 'c') &&
                (aa->prefix == ('w' << 8 | 'b') || !aa->prefix_count))
                n = 1;
        }
        AVStream* st = s->streams[n];
        AVIStream* ast = avi_stream_of(st);
        if (st->discard >= 48 || (st->discard >= 0 && size == 0)) {
            ast->frame_offset += ast->sample_size ? size : 1;
            url_fskip(pb, size);
            return ScanResult::Again;
        }
        if (is_two_chars(d[2], d[3], 'p', 'c') && size <= kMaxPaletteChunk) {
            read_palette_change(pb, ast, size);
            return ScanResult::Again;
        }
        int suffix = d[2] << 8 | d[3];
        bool plausible = (ast->prefix_count < 5 || sync + 9 > i) && d[2] < 128 && d[3] < 128;
        if (!(plausible || suffix == ast->prefix) || size > static_cast<uint32_t>(kMaxPacketSize))
            continue;
        if (suffix == ast->prefix) {
            ast->prefix_count++;
        } else {
            ast->prefix = suffix;
            ast->prefix_count = 0;
        }
        avi->stream_index = n;
        ast->packet_size = static_cast<int>(size) + 8;
        ast->remaining = static_cast<int>(size);
        int64_t header = url_ftell(pb) - 8;
        *added = -1;
        if (st->nb_index_entries == 0 || st->index_entries[st->nb_index_entries - 1].pos < header) {
            bool hevc;
            int flags = key_from_payload(st, &hevc) ? 0 : AVINDEX_KEYFRAME;
            *added =
                avi_add_index_entry(s, st, header, ast->frame_offset / steps_of(ast), size, flags);
        }
        return ScanResult::Chunk;
    }
}

// Appends a pending palette change to the packet.
void append_palette(AVIStream* ast, AVPacket* pkt) {
    if (!ast->has_pal || !pkt->data || pkt->size >= kMaxPacketSize)
        return;
    size_t grown = static_cast<size_t>(pkt->size) + kPaletteAppend;
    uint8_t* data =
        static_cast<uint8_t*>(std::realloc(pkt->data, grown + FF_INPUT_BUFFER_PADDING_SIZE));
    if (!data)
        return;  // stays pending
    std::memcpy(data + pkt->size, ast->pal, kPaletteAppend);
    std::memset(data + grown, 0, FF_INPUT_BUFFER_PADDING_SIZE);
    pkt->data = data;
    pkt->size = static_cast<int>(grown);
    pkt->capacity = pkt->size;
    ast->has_pal = 0;
}

void mark_key(AVStream* st, AVPacket* pkt, int64_t frame_offset) {
    if (st->codec->codec_type != CODEC_TYPE_VIDEO) {
        pkt->flags |= PKT_FLAG_KEY;
        return;
    }
    int i = av_index_search_timestamp(st, pkt->dts, 0);
    if (i >= 0 && st->index_entries[i].timestamp == frame_offset)
        pkt->flags |= PKT_FLAG_KEY;
}

// Reads the next piece of the current stream's chunk into pkt.
int read_current(AVFormatContext* s, AVPacket* pkt, int scanned_entry) {
    AVIContext* avi = avi_of(s);
    AVStream* st = s->streams[avi->stream_index];
    AVIStream* ast = avi_stream_of(st);
    int piece = ast->sample_size <= 1   ? INT_MAX
                : ast->sample_size < 32 ? 64 * ast->sample_size
                                        : ast->sample_size;
    piece = std::min(piece, ast->remaining);
    // The buffer holds what the file can still deliver, not what a chunk claims.
    int64_t left = avi->fsize - url_ftell(s->pb);
    if (left <= 0)
        return AVERROR_EOF;
    piece = static_cast<int>(std::min<int64_t>(piece, left));
    avi->last_pkt_pos = url_ftell(s->pb);
    int got = av_get_packet(s->pb, pkt, piece);
    if (got < 0)
        return got;
    if (got == 0)
        return AVERROR_EOF;
    append_palette(ast, pkt);
    bool hevc;
    if (scanned_entry >= 0 && key_from_payload(st, &hevc) &&
        nal_payload_is_key(pkt->data, got, hevc))
        st->index_entries[scanned_entry].flags = AVINDEX_KEYFRAME;
    pkt->dts = stream_time(ast);
    pkt->stream_index = avi->stream_index;
    mark_key(st, pkt, ast->frame_offset);
    ast->frame_offset += ast->sample_size ? pkt->size : 1;
    ast->remaining -= piece;
    if (ast->remaining <= 0) {
        ast->remaining = 0;
        avi->stream_index = -1;
        ast->packet_size = 0;
    }
    return pkt->size;
}

}  // namespace

int avi_read_packet(AVFormatContext* s, AVPacket* pkt) {
    AVIContext* avi = avi_of(s);
    if (!avi || !s->pb)
        return AVERROR_INVAL;
    if (avi->non_interleaved && pick_by_index(s) == 0)
        return AVERROR_EOF;
    for (;;) {
        int scanned = -1;
        if (avi->stream_index < 0) {
            ScanResult r = scan_for_chunk(s, &scanned);
            if (r == ScanResult::End)
                return AVERROR_EOF;
            if (r == ScanResult::Again)
                continue;
        }
        AVIStream* ast = avi_stream_of(s->streams[avi->stream_index]);
        if (ast->remaining <= 0) {
            avi->stream_index = -1;
            continue;
        }
        return read_current(s, pkt, scanned);
    }
}

void avi_sync_streams(AVFormatContext* s, AVStream* source, int64_t timestamp, int64_t pos,
                      int flags) {
    AVIContext* avi = avi_of(s);
    for (unsigned j = 0; j < s->nb_streams; ++j) {
        AVStream* st = s->streams[j];
        AVIStream* ast = avi_stream_of(st);
        ast->remaining = 0;
        ast->index_next_ts = 0;
        ast->index_pos = 0;
        if (st->nb_index_entries == 0)
            continue;
        int64_t ts =
            av_rescale(timestamp, static_cast<int64_t>(source->time_base.num) * st->time_base.den,
                       static_cast<int64_t>(source->time_base.den) * st->time_base.num);
        int i = av_index_search_timestamp(st, ts, flags | AVSEEK_FLAG_BACKWARD);
        if (i < 0)
            i = 0;
        if (!avi->non_interleaved) {
            while (i > 0 && st->index_entries[i].pos > pos)
                --i;
            while (i + 1 < st->nb_index_entries && st->index_entries[i].pos < pos)
                ++i;
        }
        ast->frame_offset = st->index_entries[i].timestamp * steps_of(ast);
    }
}

int avi_read_seek(AVFormatContext* s, int stream_index, int64_t timestamp, int flags, int slot) {
    AVIContext* avi = avi_of(s);
    if (!avi || slot < 0 || slot >= AVI_PACKET_SLOTS)
        return -1;
    avi_ensure_index(s);
    if (stream_index < 0 || stream_index >= static_cast<int>(s->nb_streams))
        return -1;
    AVStream* st = s->streams[stream_index];
    int i1 = av_index_search_timestamp(st, timestamp, flags);
    if (i1 < 0)
        return -1;
    int i2 = av_index_search_timestamp(st, timestamp, 0);
    if (i2 < 0)
        i2 = i1;
    __int128 t1 = st->index_entries[i1].timestamp;
    __int128 t2 = st->index_entries[i2].timestamp;
    __int128 target = timestamp;
    bool later = t1 <= target ? (target - t1) >= (t2 - target) : (t1 - target) >= (target - t2);
    int ic = later ? i2 : i1;
    const AVIndexEntry chosen = st->index_entries[ic];

    AVIPacketInfo& info = avi->packet_info;
    info.index[slot] = ic;
    info.start_pos[slot] = info.end_pos[slot] = chosen.pos;
    info.start_ts[slot] = info.end_ts[slot] = chosen.timestamp;

    avi_sync_streams(s, st, chosen.timestamp, chosen.pos, flags);
    if (url_fseek(s->pb, chosen.pos, 0) < 0)
        return -1;
    avi->stream_index = -1;
    return 0;
}

int avi_read_close(AVFormatContext* s) {
    for (unsigned i = 0; i < s->nb_streams; ++i) {
        if (s->streams[i] && s->streams[i]->codec)
            av_freep(&s->streams[i]->codec->palctrl);
    }
    AVIContext* avi = avi_of(s);
    if (avi)
        avi->dv_demux = nullptr;
    return 0;
}

}  // namespace container
