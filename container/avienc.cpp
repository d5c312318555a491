#include "container/avienc.h"

#include <cstring>

#include "container/aviobuf.h"
#include "container/mathematics.h"
#include "container/mem.h"
#include "container/metadata.h"
#include "container/riff.h"

namespace container {
namespace {

// Two decimal digits name a stream in chunk ids ("00dc", "ix01").
constexpr unsigned kMaxChunkIdStreams = 100;
// A jump in dts is filled with empty chunks, but never with more than this
// many for one packet: a damaged timestamp must not write gigabytes.
constexpr int64_t kMaxEmptyFill = 1 << 16;
constexpr uint32_t kMaxInfoText = 1 << 16;
constexpr int kSeekSet = 0;
constexpr int kAacFrameSamples = 1024;
constexpr int kAvihFlagsSeekable = 0x910;  // has index, interleaved, trust chunk type
constexpr int kAvihFlagsStreamed = 0x900;
constexpr uint32_t kSuggestedBuffer = 0x100000;
constexpr uint32_t kAudioSuggestedBuffer = 12288;
constexpr int kOdmlHeaderBytes = 248;
constexpr int kHeaderJunkBytes = 1016;
constexpr uint32_t kIndexKeyFrame = 0x10;
constexpr uint32_t kIndexDeltaFrame = 0x80000000u;

struct StreamRate {
    int rate = 0;
    int sample_size = 0;
    int scale = 0;
};

// Rate, sample size and scale of a stream header. Data streams count chunks
// like video, so they take their time base rather than a byte rate (which
// they have none of); a stream left without a usable rate falls back to the
// stream's own time base.
StreamRate stream_rate(const AVStream* st) {
    const AVCodecContext* c = st->codec;
    StreamRate r;
    if (c->codec_type == CODEC_TYPE_DATA) {
        r.sample_size = c->block_align;
        r.scale = c->time_base.num;
        r.rate = c->time_base.den;
    } else {
        ff_parse_specific_params(const_cast<AVCodecContext*>(c), &r.rate, &r.sample_size, &r.scale);
        // Audio counted in frames (AAC, MPEG audio) has chunks of any size:
        // a byte count per sample would make every timestamp wrong. Fixed
        // blocks (ADPCM) keep their block as the sample size, as the file
        // they were read from had it.
        const bool vbr = c->codec_id == CODEC_ID_AAC || c->codec_id == CODEC_ID_MP2 ||
                         c->codec_id == CODEC_ID_MP3;
        const int frame_size =
            c->frame_size <= 0 && c->codec_id == CODEC_ID_AAC ? kAacFrameSamples : c->frame_size;
        if (c->codec_type == CODEC_TYPE_AUDIO && frame_size > 0 && c->sample_rate > 0) {
            r.scale = frame_size;
            r.rate = c->sample_rate;
            if (vbr || c->block_align <= 0)
                r.sample_size = 0;
        }
    }
    if (r.scale <= 0 || r.rate <= 0) {
        r.scale = st->time_base.num > 0 && st->time_base.den > 0 ? st->time_base.num : 1;
        r.rate = st->time_base.num > 0 && st->time_base.den > 0 ? st->time_base.den : 25;
    }
    const int64_t g = av_gcd(r.scale, r.rate);
    r.scale = static_cast<int>(r.scale / g);
    r.rate = static_cast<int>(r.rate / g);
    if (r.sample_size < 0)
        r.sample_size = 0;
    return r;
}

uint32_t clamp_u32(int64_t v) {
    if (v < 0)
        return 0;
    return v > INT64_C(0xFFFFFFFF) ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

bool is_seekable(const AVFormatContext* s) {
    return !s->pb->is_streamed;
}

// "NNdc" for video, "NNwb" for every other stream type.
void chunk_id(char tag[5], int stream, const AVCodecContext* codec) {
    tag[0] = static_cast<char>('0' + stream / 10);
    tag[1] = static_cast<char>('0' + stream % 10);
    tag[2] = codec->codec_type == CODEC_TYPE_VIDEO ? 'd' : 'w';
    tag[3] = codec->codec_type == CODEC_TYPE_VIDEO ? 'c' : 'b';
    tag[4] = '\0';
}

void ix_chunk_id(char tag[5], int stream) {
    tag[0] = 'i';
    tag[1] = 'x';
    tag[2] = static_cast<char>('0' + stream / 10);
    tag[3] = static_cast<char>('0' + stream % 10);
    tag[4] = '\0';
}

AVIIentry* index_entry(AVIIndex* idx, int n) {
    return &idx->cluster[n / AVI_INDEX_CLUSTER_SIZE][n % AVI_INDEX_CLUSTER_SIZE];
}

// Makes room for one more entry; returns false when memory runs out, with
// the index unchanged.
bool reserve_index_entry(AVIIndex* idx) {
    if (idx->entry < idx->ents_allocated)
        return true;
    if (idx->ents_allocated > INT32_MAX - AVI_INDEX_CLUSTER_SIZE)
        return false;
    const size_t blocks = static_cast<size_t>(idx->ents_allocated / AVI_INDEX_CLUSTER_SIZE);
    auto* cluster =
        static_cast<AVIIentry**>(av_realloc(idx->cluster, (blocks + 1) * sizeof(AVIIentry*)));
    if (!cluster)
        return false;
    idx->cluster = cluster;
    cluster[blocks] =
        static_cast<AVIIentry*>(av_malloc(AVI_INDEX_CLUSTER_SIZE * sizeof(AVIIentry)));
    if (!cluster[blocks])
        return false;
    idx->ents_allocated += AVI_INDEX_CLUSTER_SIZE;
    return true;
}

void free_indexes(AVIMuxContext* avi) {
    for (AVIIndex& idx : avi->indexes) {
        const int blocks = idx.ents_allocated / AVI_INDEX_CLUSTER_SIZE;
        for (int i = 0; i < blocks; i++)
            av_free(idx.cluster[i]);
        av_freep(&idx.cluster);
        idx.entry = 0;
        idx.ents_allocated = 0;
    }
}

bool codec_type_writable(int type) {
    return type == CODEC_TYPE_VIDEO || type == CODEC_TYPE_AUDIO || type == CODEC_TYPE_DATA;
}

// The last video stream's codec, or null.
const AVCodecContext* main_video_codec(const AVFormatContext* s) {
    const AVCodecContext* video = nullptr;
    for (unsigned n = 0; n < s->nb_streams; n++) {
        if (s->streams[n]->codec->codec_type == CODEC_TYPE_VIDEO)
            video = s->streams[n]->codec;
    }
    return video;
}

void write_avih(AVFormatContext* s, AVIMuxContext* avi) {
    ByteIOContext* pb = s->pb;
    const AVCodecContext* video = main_video_codec(s);
    int64_t us_per_frame = 0;
    int64_t bytes_per_second = 0;
    for (unsigned n = 0; n < s->nb_streams; n++)
        bytes_per_second += s->streams[n]->codec->bit_rate;
    bytes_per_second /= 8;
    if (video && video->time_base.den > 0 && video->time_base.num > 0)
        us_per_frame = int64_t{video->time_base.num} * 1000000 / video->time_base.den;

    int64_t avih = start_tag(pb, "avih");
    put_le32(pb, clamp_u32(us_per_frame));
    put_le32(pb, clamp_u32(bytes_per_second));
    put_le32(pb, 0);  // padding granularity
    put_le32(pb, is_seekable(s) ? kAvihFlagsSeekable : kAvihFlagsStreamed);
    avi->frames_hdr_all = url_ftell(pb);
    put_le32(pb, 0);  // total frames, patched by the counters
    put_le32(pb, 0);  // initial frames
    put_le32(pb, s->nb_streams);
    put_le32(pb, kSuggestedBuffer);
    put_le32(pb, video ? video->width : 0);
    put_le32(pb, video ? video->height : 0);
    for (int i = 0; i < 4; i++)
        put_le32(pb, 0);
    end_tag(pb, avih);
}

void write_strh(AVFormatContext* s, AVIMuxContext* avi, int n) {
    ByteIOContext* pb = s->pb;
    AVStream* st = s->streams[n];
    const AVCodecContext* c = st->codec;
    const StreamRate r = stream_rate(st);

    int64_t strh = start_tag(pb, "strh");
    switch (c->codec_type) {
        case CODEC_TYPE_VIDEO:
            put_tag(pb, "vids");
            put_le32(pb, c->codec_tag);
            break;
        case CODEC_TYPE_AUDIO:
            put_tag(pb, "auds");
            put_le32(pb, 1);
            break;
        default:
            put_tag(pb, "dats");
            put_le32(pb, 1);
            break;
    }
    put_le32(pb, 0);  // flags
    put_le16(pb, 0);  // priority
    put_le16(pb, 0);  // language
    put_le32(pb, 0);  // initial frames
    put_le32(pb, r.scale);
    put_le32(pb, r.rate);
    av_set_pts_info(st, 64, r.scale, r.rate);
    put_le32(pb, 0);  // start
    avi->frames_hdr_strm[n] = url_ftell(pb);
    put_le32(pb, is_seekable(s) ? 0 : AVI_MAX_RIFF_SIZE);  // length, patched by the counters
    if (c->codec_type == CODEC_TYPE_VIDEO)
        put_le32(pb, kSuggestedBuffer);
    else if (c->codec_type == CODEC_TYPE_AUDIO)
        put_le32(pb, kAudioSuggestedBuffer);
    else
        put_le32(pb, 0);
    put_le32(pb, 0xFFFFFFFFu);  // quality
    put_le32(pb, r.sample_size);
    put_le32(pb, 0);
    put_le16(pb, static_cast<unsigned>(c->width) & 0xFFFF);
    put_le16(pb, static_cast<unsigned>(c->height) & 0xFFFF);
    end_tag(pb, strh);
}

// Returns false when the audio format cannot be written. A data stream gets
// an empty format, as recorders write it: without one, readers cannot tell
// its type.
bool write_strf(AVFormatContext* s, int n) {
    ByteIOContext* pb = s->pb;
    AVCodecContext* c = s->streams[n]->codec;
    int64_t strf = start_tag(pb, "strf");
    if (c->codec_type == CODEC_TYPE_VIDEO)
        put_bmp_header(pb, c, codec_bmp_tags, 0);
    else if (c->codec_type == CODEC_TYPE_AUDIO && put_wav_header(pb, c) < 0)
        return false;
    end_tag(pb, strf);
    return true;
}

void write_super_index_placeholder(AVFormatContext* s, AVIMuxContext* avi, int n) {
    ByteIOContext* pb = s->pb;
    char tag[5];
    chunk_id(tag, n, s->streams[n]->codec);
    avi->indexes[n].indx_start = start_tag(pb, "JUNK");
    put_le16(pb, 4);  // longs per entry
    put_byte(pb, 0);  // subtype
    put_byte(pb, 0);  // index of indexes
    put_le32(pb, 0);  // entries in use
    put_tag(pb, tag);
    for (int i = 0; i < 3; i++)
        put_le32(pb, 0);
    for (int i = 0; i < AVI_MASTER_INDEX_SIZE; i++) {
        put_le64(pb, 0);
        put_le64(pb, 0);
    }
    end_tag(pb, avi->indexes[n].indx_start);
}

void write_vprp(AVFormatContext* s, int n) {
    ByteIOContext* pb = s->pb;
    const AVStream* st = s->streams[n];
    const AVCodecContext* c = st->codec;
    const AVRational sar = st->sample_aspect_ratio;
    if (c->codec_type != CODEC_TYPE_VIDEO || sar.num < 1 || sar.den < 1)
        return;
    if (c->width < 1 || c->height < 1)
        return;
    int dar_num = 0;
    int dar_den = 0;
    av_reduce(&dar_num, &dar_den, int64_t{sar.num} * c->width, int64_t{sar.den} * c->height,
              0xFFFF);
    int64_t fps = 0;
    if (c->time_base.num > 0 && c->time_base.den > 0)
        fps = (int64_t{c->time_base.den} + c->time_base.num / 2) / c->time_base.num;

    int64_t vprp = start_tag(pb, "vprp");
    put_le32(pb, 0);  // video format token
    put_le32(pb, 0);  // video standard
    put_le32(pb, clamp_u32(fps));
    put_le32(pb, c->width);
    put_le32(pb, c->height);
    put_le16(pb, dar_den);
    put_le16(pb, dar_num);
    put_le32(pb, c->width);
    put_le32(pb, c->height);
    put_le32(pb, 1);  // fields per frame
    put_le32(pb, c->height);
    put_le32(pb, c->width);
    put_le32(pb, c->height);
    put_le32(pb, c->width);
    for (int i = 0; i < 4; i++)
        put_le32(pb, 0);
    end_tag(pb, vprp);
}

void write_odml_placeholder(AVFormatContext* s, AVIMuxContext* avi) {
    ByteIOContext* pb = s->pb;
    avi->odml_list = start_tag(pb, "JUNK");
    put_tag(pb, "odml");
    put_tag(pb, "dmlh");
    put_le32(pb, kOdmlHeaderBytes);
    for (int i = 0; i < kOdmlHeaderBytes; i++)
        put_byte(pb, 0);
    end_tag(pb, avi->odml_list);
}

void write_info_text(ByteIOContext* pb, const char* tag, const char* text) {
    const size_t len = text ? std::strlen(text) : 0;
    if (len == 0 || len >= kMaxInfoText)
        return;
    const uint32_t size = static_cast<uint32_t>(len) + 1;
    put_tag(pb, tag);
    put_le32(pb, size);
    put_buffer(pb, reinterpret_cast<const unsigned char*>(text), static_cast<int>(size));
    if (size & 1)
        put_byte(pb, 0);
}

const char* metadata_value(const AVFormatContext* s, const char* key) {
    const AVMetadataTag* t = av_metadata_get(s->metadata, key, nullptr, 0);
    return t ? t->value : nullptr;
}

void write_info_list(AVFormatContext* s) {
    static const char* const kInfoTags[][2] = {
        {"INAM", "Title"}, {"IART", "Artist"}, {"ICOP", "Copyright"}, {"ICMT", "Comment"},
        {"IPRD", "Album"}, {"IGNR", "Genre"},  {"IPRT", "Track"},
    };
    ByteIOContext* pb = s->pb;
    int64_t list = start_tag(pb, "LIST");
    put_tag(pb, "INFO");
    for (const auto& info : kInfoTags) {
        const char* value = metadata_value(s, info[1]);
        if (!value && std::strcmp(info[1], "Artist") == 0)
            value = metadata_value(s, "Author");
        write_info_text(pb, info[0], value);
    }
    if (s->nb_streams == 0 || !(s->streams[0]->codec->flags & CODEC_FLAG_BITEXACT))
        write_info_text(pb, "ISFT", "Lavf52.31.0");
    end_tag(pb, list);
}

void write_counters(AVFormatContext* s, int riff_id) {
    ByteIOContext* pb = s->pb;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    const int64_t file_end = url_ftell(pb);
    int32_t nb_frames = 0;
    for (unsigned n = 0; n < s->nb_streams; n++) {
        const AVStream* st = s->streams[n];
        const StreamRate r = stream_rate(st);
        url_fseek(pb, avi->frames_hdr_strm[n], kSeekSet);
        if (r.sample_size != 0)
            put_le32(pb, clamp_u32(avi->audio_strm_length[n] / r.sample_size));
        else
            put_le32(pb, avi->packet_count[n]);
        if (st->codec->codec_type == CODEC_TYPE_VIDEO && avi->packet_count[n] > nb_frames)
            nb_frames = avi->packet_count[n];
    }
    if (riff_id == 1) {
        url_fseek(pb, avi->frames_hdr_all, kSeekSet);
        put_le32(pb, nb_frames);
    }
    url_fseek(pb, file_end, kSeekSet);
}

// OpenDML standard index of the current RIFF part for every stream, and its
// entry in the stream's super index.
void write_ix(AVFormatContext* s) {
    ByteIOContext* pb = s->pb;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    if (avi->riff_id > AVI_MASTER_INDEX_SIZE)
        return;
    for (unsigned n = 0; n < s->nb_streams; n++) {
        AVIIndex* idx = &avi->indexes[n];
        char tag[5];
        char ix_tag[5];
        chunk_id(tag, static_cast<int>(n), s->streams[n]->codec);
        ix_chunk_id(ix_tag, static_cast<int>(n));

        const int64_t ix = url_ftell(pb);
        put_tag(pb, ix_tag);
        put_le32(pb, static_cast<uint32_t>(idx->entry) * 8 + 24);
        put_le16(pb, 2);  // longs per entry
        put_byte(pb, 0);  // subtype
        put_byte(pb, 1);  // index of chunks
        put_le32(pb, idx->entry);
        put_tag(pb, tag);
        put_le64(pb, avi->movi_list);
        put_le32(pb, 0);
        for (int j = 0; j < idx->entry; j++) {
            const AVIIentry* ie = index_entry(idx, j);
            put_le32(pb, ie->pos + 8);
            put_le32(pb, (ie->len & ~kIndexDeltaFrame) |
                             (ie->flags & kIndexKeyFrame ? 0 : kIndexDeltaFrame));
        }
        put_flush_packet(pb);
        const int64_t end = url_ftell(pb);

        url_fseek(pb, idx->indx_start - 8, kSeekSet);
        put_tag(pb, "indx");
        url_fskip(pb, 8);
        put_le32(pb, avi->riff_id);  // entries in use
        url_fskip(pb, 16 * int64_t{avi->riff_id});
        put_le64(pb, ix);
        put_le32(pb, clamp_u32(end - ix));
        put_le32(pb, idx->entry);
        url_fseek(pb, end, kSeekSet);
    }
}

// Legacy index of the first RIFF part, in file order, then the counters.
void write_idx1(AVFormatContext* s) {
    ByteIOContext* pb = s->pb;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    int next[MAX_STREAMS] = {};
    const int64_t idx1 = start_tag(pb, "idx1");
    for (;;) {
        int best = -1;
        uint32_t best_pos = 0;
        for (unsigned n = 0; n < s->nb_streams; n++) {
            const AVIIndex* idx = &avi->indexes[n];
            if (next[n] >= idx->entry)
                continue;
            const uint32_t pos = index_entry(const_cast<AVIIndex*>(idx), next[n])->pos;
            if (best < 0 || pos < best_pos) {
                best = static_cast<int>(n);
                best_pos = pos;
            }
        }
        if (best < 0)
            break;
        const AVIIentry* ie = index_entry(&avi->indexes[best], next[best]++);
        char tag[5];
        chunk_id(tag, best, s->streams[best]->codec);
        put_tag(pb, tag);
        put_le32(pb, ie->flags);
        put_le32(pb, ie->pos);
        put_le32(pb, ie->len);
    }
    end_tag(pb, idx1);
    write_counters(s, avi->riff_id);
}

void start_new_riff(AVFormatContext* s, AVIMuxContext* avi) {
    ByteIOContext* pb = s->pb;
    write_ix(s);
    end_tag(pb, avi->movi_list);
    if (avi->riff_id == 1)
        write_idx1(s);
    end_tag(pb, avi->riff_start);
    avi->riff_id++;
    for (AVIIndex& idx : avi->indexes)
        idx.entry = 0;
    avi->riff_start = start_tag(pb, "RIFF");
    put_tag(pb, "AVIX");
    avi->movi_list = start_tag(pb, "LIST");
    put_tag(pb, "movi");
}

// One chunk of stream n. The index entry is reserved first, so a failed
// allocation leaves file and counters as they were.
int write_chunk(AVFormatContext* s, int n, const uint8_t* data, int size, bool key) {
    ByteIOContext* pb = s->pb;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    AVIIndex* idx = &avi->indexes[n];
    const AVCodecContext* c = s->streams[n]->codec;
    const bool seekable = is_seekable(s);
    if (seekable && !reserve_index_entry(idx))
        return -1;

    avi->packet_count[n]++;
    if (seekable && url_ftell(pb) - avi->riff_start > AVI_MAX_RIFF_SIZE)
        start_new_riff(s, avi);
    if (c->codec_type == CODEC_TYPE_AUDIO)
        avi->audio_strm_length[n] += size;

    if (seekable) {
        AVIIentry* ie = index_entry(idx, idx->entry++);
        ie->flags = key ? kIndexKeyFrame : 0;
        ie->pos = static_cast<uint32_t>(url_ftell(pb) - avi->movi_list);
        ie->len = static_cast<uint32_t>(size);
    }
    char tag[5];
    chunk_id(tag, n, c);
    put_tag(pb, tag);
    put_le32(pb, static_cast<uint32_t>(size));
    if (size > 0)
        put_buffer(pb, data, size);
    if (size & 1)
        put_byte(pb, 0);
    put_flush_packet(pb);
    return 0;
}

}  // namespace

int avi_write_header(AVFormatContext* s) {
    if (!s || !s->pb || !s->priv_data)
        return -1;
    if (s->nb_streams > MAX_STREAMS || s->nb_streams > kMaxChunkIdStreams)
        return -1;
    for (unsigned n = 0; n < s->nb_streams; n++) {
        if (!codec_type_writable(s->streams[n]->codec->codec_type))
            return -1;
    }
    ByteIOContext* pb = s->pb;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    avi->riff_id = 1;
    for (AVIIndex& idx : avi->indexes)
        idx.entry = 0;

    avi->riff_start = start_tag(pb, "RIFF");
    put_tag(pb, "AVI ");
    int64_t hdrl = start_tag(pb, "LIST");
    put_tag(pb, "hdrl");
    write_avih(s, avi);
    for (unsigned n = 0; n < s->nb_streams; n++) {
        const int i = static_cast<int>(n);
        int64_t strl = start_tag(pb, "LIST");
        put_tag(pb, "strl");
        write_strh(s, avi, i);
        if (!write_strf(s, i))
            return -1;
        if (is_seekable(s))
            write_super_index_placeholder(s, avi, i);
        write_vprp(s, i);
        end_tag(pb, strl);
    }
    if (is_seekable(s))
        write_odml_placeholder(s, avi);
    end_tag(pb, hdrl);

    write_info_list(s);
    int64_t junk = start_tag(pb, "JUNK");
    for (int i = 0; i < kHeaderJunkBytes; i += 4)
        put_le32(pb, 0);
    end_tag(pb, junk);

    avi->movi_list = start_tag(pb, "LIST");
    put_tag(pb, "movi");
    put_flush_packet(pb);
    return 0;
}

int avi_write_packet(AVFormatContext* s, AVPacket* pkt) {
    if (!s || !s->pb || !s->priv_data || !pkt)
        return -1;
    if (pkt->stream_index < 0 || static_cast<unsigned>(pkt->stream_index) >= s->nb_streams)
        return -1;
    if (pkt->size < 0 || (pkt->size > 0 && !pkt->data))
        return -1;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    if (avi->riff_id == 0)  // no header written
        return -1;
    const int n = pkt->stream_index;
    if (s->streams[n]->codec->block_align == 0 && pkt->dts != AV_NOPTS_VALUE) {
        const int64_t gap = pkt->dts - avi->packet_count[n];
        const int64_t fill = gap < kMaxEmptyFill ? gap : kMaxEmptyFill;
        for (int64_t i = 0; i < fill; i++) {
            if (write_chunk(s, n, nullptr, 0, false) < 0)
                return -1;
        }
    }
    return write_chunk(s, n, pkt->data, pkt->size, pkt->flags & PKT_FLAG_KEY);
}

int avi_write_trailer(AVFormatContext* s) {
    if (!s || !s->pb || !s->priv_data)
        return -1;
    ByteIOContext* pb = s->pb;
    AVIMuxContext* avi = static_cast<AVIMuxContext*>(s->priv_data);
    if (is_seekable(s)) {
        if (avi->riff_id == 1) {
            end_tag(pb, avi->movi_list);
            write_idx1(s);
            end_tag(pb, avi->riff_start);
        } else {
            write_ix(s);
            end_tag(pb, avi->movi_list);
            end_tag(pb, avi->riff_start);
            const int64_t file_end = url_ftell(pb);
            int64_t nb_frames = 0;
            for (unsigned n = 0; n < s->nb_streams; n++) {
                const AVCodecContext* c = s->streams[n]->codec;
                if (c->codec_type == CODEC_TYPE_VIDEO && avi->packet_count[n] > nb_frames)
                    nb_frames = avi->packet_count[n];
            }
            for (unsigned n = 0; n < s->nb_streams; n++) {
                const AVCodecContext* c = s->streams[n]->codec;
                if (c->codec_id == CODEC_ID_MP2 || c->codec_id == CODEC_ID_MP3)
                    nb_frames += avi->packet_count[n];
            }
            url_fseek(pb, avi->odml_list - 8, kSeekSet);
            put_tag(pb, "LIST");
            url_fskip(pb, 16);
            put_le32(pb, clamp_u32(nb_frames));
            url_fseek(pb, file_end, kSeekSet);
            write_counters(s, avi->riff_id);
        }
    }
    put_flush_packet(pb);
    free_indexes(avi);
    return url_ferror(pb) < 0 ? url_ferror(pb) : 0;
}

int avi_write_abort(AVFormatContext* s) {
    if (!s)
        return -1;
    if (s->priv_data)
        free_indexes(static_cast<AVIMuxContext*>(s->priv_data));
    if (!s->pb)
        return 0;
    put_flush_packet(s->pb);
    const int error = url_ferror(s->pb);
    const int closed = url_fclose(s->pb);
    s->pb = nullptr;
    if (error < 0)
        return error;
    return closed < 0 ? closed : 0;
}

}  // namespace container
