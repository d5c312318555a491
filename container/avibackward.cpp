#include "container/avibackward.h"

#include <algorithm>

#include "container/aviobuf.h"
#include "container/mathematics.h"

namespace container {
namespace {

constexpr int64_t kNoEnd = INT64_MAX;
constexpr int64_t kNoGroup = -1;

// The file's reader record when s and slot can be used, else null.
AVIContext* slot_context(AVFormatContext* s, int slot) {
    if (!s || !s->priv_data || !s->pb || slot < 0 || slot >= AVI_PACKET_SLOTS)
        return nullptr;
    return static_cast<AVIContext*>(s->priv_data);
}

// Stream 0 when it is a video stream: the groups are its key frames.
AVStream* video_stream0(AVFormatContext* s) {
    if (s->nb_streams == 0 || !s->streams[0] || !s->streams[0]->codec)
        return nullptr;
    return s->streams[0]->codec->codec_type == CODEC_TYPE_VIDEO ? s->streams[0] : nullptr;
}

bool has_index(const AVFormatContext* s) {
    for (unsigned n = 0; n < s->nb_streams; n++) {
        if (s->streams[n]->nb_index_entries > 0)
            return true;
    }
    return false;
}

// Reads packets until the reader ends, so that scanning builds the index of
// a file that has none (a recorder that lost power writes no idx1). With
// `all` false only one packet is read. Every chunk takes at least 8 bytes of
// the file, which bounds the packets a sound reader can deliver.
void read_ahead(AVFormatContext* s, bool all) {
    const int64_t size = url_fsize(s->pb);
    const int64_t limit = all ? (size > 0 ? size / 8 : 0) + 16 : 1;
    AVPacket pkt{};
    av_init_packet(&pkt);
    for (int64_t n = 0; n < limit && avi_read_packet(s, &pkt) >= 0; n++) {
    }
    av_destruct_packet(&pkt);
}

// Byte position just past the payload of index entry e's chunk (where the
// reader stands once it has read it).
int64_t payload_end(const AVIndexEntry& e) {
    return e.pos + 8 + int64_t{e.size};
}

// ts of stream 0 (time base `from`) as the first tick of a stream with time
// base `to` that is not earlier, so that dts >= result holds exactly when
// dts is not earlier than ts. Unusable time bases compare plain numbers.
int64_t window_edge(int64_t ts, AVRational from, AVRational to) {
    if (ts == kNoEnd || (from.num == to.num && from.den == to.den))
        return ts;
    const int64_t b = int64_t{from.num} * to.den;
    const int64_t c = int64_t{from.den} * to.num;
    if (b <= 0 || c <= 0)
        return ts;
    return av_rescale_rnd(ts, b, c, AV_ROUND_UP);
}

// Whether the packet's time lies inside the slot's group window, compared
// in the packet's own time base.
bool in_window(AVFormatContext* s, const AVPacket* pkt, const AVIPacketInfo& info, int slot) {
    if (info.start_ts[slot] == kNoGroup)
        return false;
    if (pkt->stream_index < 0 || static_cast<unsigned>(pkt->stream_index) >= s->nb_streams)
        return false;
    const AVRational from = s->streams[0]->time_base;
    const AVRational to = s->streams[pkt->stream_index]->time_base;
    return pkt->dts >= window_edge(info.start_ts[slot], from, to) &&
           pkt->dts < window_edge(info.end_ts[slot], from, to);
}

// Where a packet came from: the same place twice in a row means the reader
// did not move on. (Packet records are shared between files by callers, so
// only packets of one call are compared.)
struct PacketPlace {
    int stream;
    int64_t pos;
    int64_t dts;
    bool operator==(const PacketPlace& o) const {
        return stream == o.stream && pos == o.pos && dts == o.dts;
    }
};

PacketPlace place_of(const AVPacket* pkt) {
    return {pkt->stream_index, pkt->pos, pkt->dts};
}

int64_t group_bytes(const AVIPacketInfo& info, int slot) {
    return info.end_pos[slot] - info.start_pos[slot];
}

// Entry number of the key frame that begins the group before the slot's
// current one, or -1.
int previous_key_frame(AVStream* st0, const AVIPacketInfo& info, int slot) {
    if (info.index[slot] == -1)
        return av_index_search_timestamp(st0, info.end_ts[slot], AVSEEK_FLAG_BACKWARD);
    int j = info.index[slot] < st0->nb_index_entries ? info.index[slot] : st0->nb_index_entries;
    for (j--; j >= 0; j--) {
        if (st0->index_entries[j].flags & AVINDEX_KEYFRAME)
            return j;
    }
    return -1;
}

// The last key frame of stream 0 and everything after it, through the
// chunk of its last index entry.
int place_on_last_group(AVFormatContext* s, AVIContext* avi, int slot) {
    AVStream* st0 = video_stream0(s);
    if (!st0 || st0->nb_index_entries == 0)
        return -1;
    const AVIndexEntry last = st0->index_entries[st0->nb_index_entries - 1];
    if (avi_read_seek(s, 0, last.timestamp, AVSEEK_FLAG_BACKWARD, slot) < 0)
        return -1;
    avi->packet_info.end_pos[slot] = payload_end(last);
    avi->packet_info.end_ts[slot] = kNoEnd;
    return 0;
}

}  // namespace

int avi_read_header_backward(AVFormatContext* s, AVFormatParameters* ap, int slot) {
    AVIContext* avi = slot_context(s, slot);
    if (!avi)
        return AVERROR_INVAL;
    AVIPacketInfo& info = avi->packet_info;
    info.index[slot] = -1;
    info.start_pos[slot] = info.end_pos[slot] = 0;
    info.start_ts[slot] = info.end_ts[slot] = 0;

    const int header = avi_read_header(s, ap);
    if (header < 0)
        return header;
    read_ahead(s, !has_index(s));
    avi_ensure_index(s);
    place_on_last_group(s, avi, slot);
    return 0;
}

int avi_read_packet_backward(AVFormatContext* s, AVPacket* pkt, int slot) {
    AVIContext* avi = slot_context(s, slot);
    if (!avi || !pkt)
        return AVERROR_INVAL;
    if (!video_stream0(s))
        return AVERROR_SPIPE;
    const AVIPacketInfo& info = avi->packet_info;
    // Every packet of a group takes at least one byte of it; a reader that
    // keeps delivering dropped packets beyond that, or the same chunk twice
    // in a row, is going round in a damaged file: the group is given up.
    int64_t budget = group_bytes(info, slot);
    PacketPlace dropped{-1, -1, 0};
    for (;;) {
        const int64_t p = url_ftell(s->pb);
        if (p >= info.start_pos[slot] && p < info.end_pos[slot] && budget-- > 0) {
            const int r = avi_read_packet(s, pkt);
            if (r < 0)
                return r;
            if (in_window(s, pkt, info, slot))
                return r;
            if (place_of(pkt) == dropped)
                budget = 0;
            dropped = place_of(pkt);
            continue;
        }
        if (avi_find_backward_packet(s, slot) < 0)
            return AVERROR_SPIPE;
        budget = group_bytes(info, slot);
    }
}

int avi_find_backward_packet(AVFormatContext* s, int slot) {
    AVIContext* avi = slot_context(s, slot);
    AVStream* st0 = avi ? video_stream0(s) : nullptr;
    if (!st0)
        return -1;
    AVIPacketInfo& info = avi->packet_info;
    // The group ends where the later one began, and never above where any
    // later one ended: with key frames out of file order the windows would
    // overlap and one backward pass would read the file once per group.
    info.end_pos[slot] = std::min(info.start_pos[slot], info.end_pos[slot]);
    info.end_ts[slot] = info.start_ts[slot];
    info.start_ts[slot] = kNoGroup;

    const int j = previous_key_frame(st0, info, slot);
    if (j < 0)
        return -1;
    const AVIndexEntry key = st0->index_entries[j];
    info.start_pos[slot] = key.pos;
    info.start_ts[slot] = key.timestamp;
    info.index[slot] = j;
    avi_sync_streams(s, st0, key.timestamp, key.pos, AVSEEK_FLAG_BACKWARD);
    url_fseek(s->pb, key.pos, 0);
    avi->stream_index = -1;
    return 0;
}

int avi_set_to_end_packet(AVFormatContext* s, int slot) {
    AVIContext* avi = slot_context(s, slot);
    if (!avi)
        return -1;
    avi_ensure_index(s);
    return place_on_last_group(s, avi, slot);
}

int avi_have_packet(AVFormatContext* s, int slot) {
    AVIContext* avi = slot_context(s, slot);
    if (!avi)
        return 0;
    const int64_t p = url_ftell(s->pb);
    return p >= avi->packet_info.start_pos[slot] && p < avi->packet_info.end_pos[slot] ? 1 : 0;
}

}  // namespace container
