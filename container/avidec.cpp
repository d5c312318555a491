// AVI header walk and index loading (idx1 and OpenDML).
#include "container/avidec.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "container/mem.h"
#include "container/riff.h"

namespace container {

namespace {

constexpr int64_t kMaxSkippableChunk = 1000000;  // larger unknown chunks mean a damaged header
constexpr int kMaxInfoText = 1024;
constexpr int kBitmapHeaderSize = 40;
constexpr int kStreamHeaderSize = 48;
constexpr int kMainHeaderSize = 40;
constexpr int kPaletteBytes = 1024;
constexpr int64_t kMaxOdmlDepth = 1;  // a super index points at standard indexes only

// A chunk as the walk met it; end is computed once, in 64 bits.
struct Chunk {
    unsigned tag;
    uint32_t size;
    int64_t start;  // data start
    int64_t end;    // start + size + pad
};

// Reads a chunk's body, at most `limit` bytes and never past its end. A
// body shorter than the fields a handler wants reads as zeros beyond.
class ChunkBody {
public:
    ChunkBody(ByteIOContext* pb, const Chunk& chunk, int64_t limit) {
        int64_t n = std::min<int64_t>(chunk.size, limit);
        bytes_.resize(static_cast<size_t>(n));
        int got = n > 0 ? get_buffer(pb, bytes_.data(), static_cast<int>(n)) : 0;
        bytes_.resize(static_cast<size_t>(std::max(got, 0)));
        bytes_.resize(bytes_.size() + 8);  // zero tail for short bodies
        size_ = got > 0 ? got : 0;
        init_put_byte(&io_, bytes_.data(), size_, 0, nullptr, nullptr, nullptr, nullptr);
    }
    ByteIOContext* io() { return &io_; }
    int size() const { return size_; }
    const uint8_t* data() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
    int size_ = 0;
    ByteIOContext io_{};
};

// Work done on the OpenDML indexes of one header: a super index may name
// one standard index many times, so each is read once, and the entries read
// in all of them stay within one per 8 bytes of file.
struct OdmlWalk {
    std::set<int64_t> visited;  // data starts of the indexes read
    int64_t budget;             // entries that may still be read
};

struct HeaderState {
    int codec_type = -1;
    int stream_number = -1;
    bool amv = false;
    uint32_t frame_period = 0;
    int bit_rate = 0;
    int width = 0, height = 0;
    OdmlWalk odml;
};

AVIContext* avi_of(AVFormatContext* s) {
    return static_cast<AVIContext*>(s->priv_data);
}

bool is_tag(const uint8_t* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

int64_t file_limit(const AVIContext* avi) {
    return avi->fsize > 0 ? avi->fsize : INT64_MAX;
}

int64_t total_index_entries(const AVFormatContext* s) {
    int64_t total = 0;
    for (unsigned i = 0; i < s->nb_streams; ++i)
        total += s->streams[i]->nb_index_entries;
    return total;
}

bool seekable(AVFormatContext* s) {
    return s->pb && !s->pb->is_streamed;
}

// --- OpenDML index -------------------------------------------------------

// Lengths come from the file: the running length saturates instead of
// overflowing.
void grow_length(AVIStream* ast, int64_t len) {
    int64_t step = ast->sample_size ? len : 1;
    ast->cum_len = step > INT64_MAX - ast->cum_len ? INT64_MAX : ast->cum_len + step;
}

int read_odml_index(AVFormatContext* s, OdmlWalk& walk, int64_t frame_num, int64_t chunk_end,
                    int depth) {
    AVIContext* avi = avi_of(s);
    ByteIOContext* pb = s->pb;
    if (!walk.visited.insert(url_ftell(pb)).second)
        return -1;
    int longs_per_entry = static_cast<int>(get_le16(pb));
    int subtype = get_byte(pb);
    int type = get_byte(pb);
    uint32_t entries = get_le32(pb);
    unsigned chunk_id = get_le32(pb);
    uint64_t base = get_le64(pb);
    int stream_id = avi_stream_of_tag(chunk_id);
    if (stream_id < 0 || stream_id >= static_cast<int>(s->nb_streams) || subtype != 0)
        return -1;
    get_le32(pb);  // reserved
    if (type > 1 || (type == 1 && longs_per_entry != 2))
        return -1;
    if (avi->fsize > 0 && base >= static_cast<uint64_t>(avi->fsize)) {
        uint32_t low = static_cast<uint32_t>(base);
        bool mirrored = (base >> 32) == low;
        if (!mirrored || low >= avi->fsize || avi->fsize > UINT32_MAX)
            return -1;
        base = low;
    }
    if (entries == 0) {
        avi->index_loaded = 1;
        return 0;
    }
    // Entries in use are bounded by what the chunk can hold.
    int64_t entry_bytes = type == 1 ? 8 : 16;
    int64_t room = (std::min(chunk_end, file_limit(avi)) - url_ftell(pb)) / entry_bytes;
    int64_t count = std::min<int64_t>({entries, std::max<int64_t>(room, 0), walk.budget});
    walk.budget -= count;

    AVStream* st = s->streams[stream_id];
    AVIStream* ast = static_cast<AVIStream*>(st->priv_data);
    int64_t last_pos = -1;
    for (int64_t i = 0; i < count; ++i) {
        if (type == 1) {
            uint32_t offset = get_le32(pb);
            uint32_t word = get_le32(pb);
            if (url_feof(pb))
                return -1;
            int64_t pos = static_cast<int64_t>(offset) + static_cast<int64_t>(base) - 8;
            bool key = !(word & 0x80000000u);
            int64_t len = word & 0x7FFFFFFF;
            if (pos == last_pos || offset == 0)
                avi->non_interleaved = 1;
            if (pos != last_pos)
                avi_add_index_entry(s, st, pos, ast->cum_len / std::max(1, ast->sample_size), len,
                                    key ? AVINDEX_KEYFRAME : 0);
            grow_length(ast, len);
            last_pos = pos;
            continue;
        }
        uint64_t offset = get_le64(pb);
        uint32_t size = get_le32(pb);
        uint32_t duration = get_le32(pb);
        if (url_feof(pb))
            return -1;
        bool inside = offset < static_cast<uint64_t>(file_limit(avi)) - 8;
        if (depth < kMaxOdmlDepth && inside) {
            int64_t here = url_ftell(pb);
            int64_t target = static_cast<int64_t>(offset) + 8;
            if (url_fseek(pb, target, 0) >= 0)
                read_odml_index(s, walk, frame_num, static_cast<int64_t>(offset) + size, depth + 1);
            frame_num += duration;
            if (url_fseek(pb, here, 0) < 0)
                return -1;
        }
    }
    avi->index_loaded = 1;
    return 0;
}

// --- idx1 ----------------------------------------------------------------

void read_idx1_entries(AVFormatContext* s, int64_t count) {
    AVIContext* avi = avi_of(s);
    ByteIOContext* pb = s->pb;
    int64_t last_pos = -1;
    for (int64_t i = 0; i < count; ++i) {
        unsigned tag = get_le32(pb);
        uint32_t flags = get_le32(pb);
        int64_t pos = get_le32(pb);
        int64_t len = get_le32(pb);
        if (url_feof(pb))
            break;
        if (i == 0 && pos > avi->movi_list)
            avi->movi_list = 0;  // absolute offsets
        pos += avi->movi_list;
        int n = avi_stream_of_tag(tag);
        if (n < 0 || n >= static_cast<int>(s->nb_streams))
            continue;
        AVStream* st = s->streams[n];
        AVIStream* ast = static_cast<AVIStream*>(st->priv_data);
        if (pos == last_pos)
            avi->non_interleaved = 1;
        else
            avi_add_index_entry(s, st, pos, ast->cum_len / std::max(1, ast->sample_size), len,
                                (flags & 0x10) ? AVINDEX_KEYFRAME : 0);
        grow_length(ast, len);
        last_pos = pos;
    }
}

// --- header chunks -------------------------------------------------------

void read_main_header(ByteIOContext* body, AVIContext* avi, HeaderState& h) {
    h.frame_period = get_le32(body);
    h.bit_rate = static_cast<int>(std::min<uint64_t>(uint64_t{get_le32(body)} * 8, INT_MAX));
    get_le32(body);  // padding granularity
    avi->non_interleaved |= get_le32(body) & 0x20;
    url_fskip(body, 8);  // total and initial frames
    get_le32(body);      // stream count
    get_le32(body);      // suggested buffer size
    h.width = static_cast<int>(get_le32(body));
    h.height = static_cast<int>(get_le32(body));
}

// Time base from the stream header; a zero or negative term takes the main
// header's frame period, or 1/25 without one.
void fallback_rate(AVIStream* ast, const HeaderState& h) {
    if (ast->scale > 0 && ast->rate > 0)
        return;
    if (h.frame_period > 0 && h.frame_period <= INT_MAX) {
        ast->scale = static_cast<int>(h.frame_period);
        ast->rate = 1000000;
    } else {
        ast->scale = 1;
        ast->rate = 25;
    }
}

int read_stream_header(AVFormatContext* s, ChunkBody& body, HeaderState& h) {
    ByteIOContext* b = body.io();
    unsigned type = get_le32(b);
    unsigned handler = get_le32(b);
    if (type == MKTAG('p', 'a', 'd', 's'))
        return 0;
    if (s->nb_streams >= MAX_STREAMS)
        return -1;
    h.stream_number++;
    AVStream* st = av_new_stream_avi(s, h.stream_number);
    if (!st)
        return -1;
    AVIStream* ast = static_cast<AVIStream*>(av_mallocz(sizeof(AVIStream)));
    if (!ast)
        return -1;
    st->priv_data = ast;
    if (h.amv)
        type = h.stream_number == 0 ? MKTAG('v', 'i', 'd', 's') : MKTAG('a', 'u', 'd', 's');
    if (type == MKTAG('i', 'a', 'v', 's') || type == MKTAG('i', 'v', 'a', 's'))
        return -1;  // DV type 1: no demultiplexer for it
    st->codec->stream_codec_tag = handler;
    get_le32(b);  // flags
    get_le16(b);  // priority
    get_le16(b);  // language
    get_le32(b);  // initial frames
    ast->scale = static_cast<int>(get_le32(b));
    ast->rate = static_cast<int>(get_le32(b));
    fallback_rate(ast, h);
    av_set_pts_info(st, 64, ast->scale, ast->rate);
    ast->cum_len = get_le32(b);
    st->duration = get_le32(b);
    st->start_time = 0;
    get_le32(b);  // suggested buffer size
    get_le32(b);  // quality
    ast->sample_size = std::max(static_cast<int>(get_le32(b)), 0);
    ast->cum_len *= std::max(1, ast->sample_size);

    if (type == MKTAG('v', 'i', 'd', 's')) {
        h.codec_type = CODEC_TYPE_VIDEO;
        ast->sample_size = 0;
        st->codec->bit_rate = h.bit_rate;
    } else if (type == MKTAG('a', 'u', 'd', 's')) {
        h.codec_type = CODEC_TYPE_AUDIO;
    } else if (type == MKTAG('d', 'a', 't', 's') || type == MKTAG('t', 'x', 't', 's')) {
        h.codec_type = CODEC_TYPE_DATA;
    } else {
        return -1;
    }
    st->codec->codec_type = h.codec_type;
    ast->frame_offset = ast->cum_len;
    return 0;
}

void read_audio_format(AVStream* st, ChunkBody& body, const HeaderState& h) {
    AVIStream* ast = static_cast<AVIStream*>(st->priv_data);
    get_wav_header(body.io(), st->codec, body.size());
    if (ast->sample_size && st->codec->block_align && ast->sample_size != st->codec->block_align)
        ast->sample_size = st->codec->block_align;
    st->codec->frame_size = ff_audio_frame_size(st->codec, ast->scale, ast->rate);
    if (st->codec->stream_codec_tag == MKTAG('A', 'x', 'a', 'n')) {
        st->codec->codec_id = CODEC_ID_XAN_DPCM;
        st->codec->codec_tag = 0;
    }
    if (h.amv)
        st->codec->codec_id = CODEC_ID_ADPCM_IMA_AMV;
}

int append_bottom_up(AVCodecContext* c) {
    static const char kMark[] = "BottomUp";  // 8 letters and the NUL
    size_t old = static_cast<size_t>(c->extradata_size);
    uint8_t* grown = static_cast<uint8_t*>(
        av_realloc(c->extradata, old + sizeof kMark + FF_INPUT_BUFFER_PADDING_SIZE));
    if (!grown)
        return -1;
    std::memcpy(grown + old, kMark, sizeof kMark);
    std::memset(grown + old + sizeof kMark, 0, FF_INPUT_BUFFER_PADDING_SIZE);
    c->extradata = grown;
    c->extradata_size = static_cast<int>(old + sizeof kMark);
    return 0;
}

int read_video_format(AVFormatContext* s, AVStream* st, const Chunk& chunk, const HeaderState& h) {
    ByteIOContext* pb = s->pb;
    AVCodecContext* c = st->codec;
    if (h.amv) {
        c->width = h.width;
        c->height = h.height;
        c->codec_id = CODEC_ID_AMV;
        return 0;
    }
    ChunkBody header(pb, chunk, kBitmapHeaderSize);
    ByteIOContext* b = header.io();
    get_le32(b);  // header size
    int width = static_cast<int>(get_le32(b));
    int height = static_cast<int>(get_le32(b));
    get_le16(b);  // planes
    c->bits_per_coded_sample = static_cast<int>(get_le16(b));
    unsigned compression = get_le32(b);
    if (height == INT_MIN)
        return -1;
    if (compression == MKTAG('D', 'X', 'S', 'B')) {
        c->codec_type = CODEC_TYPE_SUBTITLE;
        c->codec_id = CODEC_ID_XSUB;
        c->codec_tag = compression;
        return 0;
    }
    // A repeated format chunk replaces the first one.
    av_freep(&c->extradata);
    c->extradata_size = 0;
    av_freep(&c->palctrl);
    int64_t extra = static_cast<int64_t>(chunk.size) - kBitmapHeaderSize;
    int64_t left = avi_of(s)->fsize - url_ftell(pb);  // never more than the file holds
    if (extra > 0 && extra <= MAX_EXTRADATA_SIZE && extra <= left) {
        c->extradata = static_cast<uint8_t*>(
            av_mallocz(static_cast<size_t>(extra) + FF_INPUT_BUFFER_PADDING_SIZE));
        if (!c->extradata)
            return -1;
        c->extradata_size = std::max(get_buffer(pb, c->extradata, static_cast<int>(extra)), 0);
    }
    if (c->extradata_size > 0 && c->bits_per_coded_sample <= 8) {
        c->palctrl = static_cast<AVPaletteControl*>(av_mallocz(sizeof(AVPaletteControl)));
        if (!c->palctrl)
            return -1;
        std::memcpy(c->palctrl->palette, c->extradata, std::min(c->extradata_size, kPaletteBytes));
        c->palctrl->palette_changed = 1;
    }
    c->codec_type = CODEC_TYPE_VIDEO;
    c->codec_tag = compression;
    c->codec_id = codec_get_id(codec_bmp_tags, compression);
    if (c->codec_tag == 0 && height > 0 && append_bottom_up(c) < 0)
        return -1;
    c->width = width;
    c->height = height < 0 ? -height : height;
    return 0;
}

int read_stream_format(AVFormatContext* s, const Chunk& chunk, const HeaderState& h) {
    if (s->nb_streams == 0 || h.stream_number < 0)
        return 0;
    AVStream* st = s->streams[s->nb_streams - 1];
    if (h.codec_type == CODEC_TYPE_AUDIO) {
        ChunkBody body(s->pb, chunk, MAX_EXTRADATA_SIZE + 64);
        read_audio_format(st, body, h);
        return 0;
    }
    if (h.codec_type == CODEC_TYPE_VIDEO)
        return read_video_format(s, st, chunk, h);
    st->codec->codec_type = CODEC_TYPE_DATA;
    st->codec->codec_id = CODEC_ID_NONE;
    st->codec->codec_tag = 0;
    return 0;
}

void read_video_properties(AVFormatContext* s, const Chunk& chunk) {
    if (s->nb_streams == 0 || chunk.size < 37)
        return;
    ChunkBody body(s->pb, chunk, 40);
    ByteIOContext* b = body.io();
    url_fskip(b, 20);
    int den = static_cast<int>(get_le16(b));
    int num = static_cast<int>(get_le16(b));
    int active_width = static_cast<int>(get_le32(b));
    int active_height = static_cast<int>(get_le32(b));
    if (den && num && active_width && active_height)
        s->streams[s->nb_streams - 1]->sample_aspect_ratio =
            av_div_q(AVRational{num, den}, AVRational{active_width, active_height});
}

const char* info_key(unsigned tag) {
    struct {
        unsigned tag;
        const char* key;
    } static const kKeys[] = {
        {MKTAG('I', 'A', 'R', 'T'), "Artist"},    {MKTAG('I', 'C', 'M', 'T'), "Comment"},
        {MKTAG('I', 'C', 'O', 'P'), "Copyright"}, {MKTAG('I', 'G', 'N', 'R'), "Genre"},
        {MKTAG('I', 'N', 'A', 'M'), "Title"},     {MKTAG('I', 'P', 'R', 'D'), "Album"},
        {MKTAG('I', 'P', 'R', 'T'), "Track"},
    };
    for (const auto& k : kKeys) {
        if (k.tag == tag)
            return k.key;
    }
    return nullptr;
}

void read_info_text(AVFormatContext* s, const Chunk& chunk, const char* key) {
    ChunkBody body(s->pb, chunk, kMaxInfoText);
    const char* text = reinterpret_cast<const char*>(body.data());
    std::string value(text, strnlen(text, static_cast<size_t>(body.size())));
    av_metadata_set(&s->metadata, key, value.c_str());
}

bool accepted_signature(const uint8_t tag[8]) {
    if (is_tag(tag, "RIFF"))
        return is_tag(tag + 4, "AVI ") || is_tag(tag + 4, "AVIX") || is_tag(tag + 4, "AMV ") ||
               (std::memcmp(tag + 4, "AVI", 3) == 0 && tag[7] == 0x19);
    return is_tag(tag, "ON2 ") && is_tag(tag + 4, "ON2f");
}

// Splits the single chunk of a non-interleaved stream with a fixed sample
// size into pieces of at least 1 KiB, so that it can be interleaved.
void split_single_chunk(AVFormatContext* s, AVStream* st) {
    AVIStream* ast = static_cast<AVIStream*>(st->priv_data);
    if (st->nb_index_entries != 1 || ast->sample_size <= 0)
        return;
    AVIndexEntry e = st->index_entries[0];
    int64_t piece = ast->sample_size;
    while (piece < 1024)
        piece *= 2;
    for (int64_t j = 0; j < e.size; j += piece) {
        int64_t size = std::min<int64_t>(piece, e.size - j);
        if (avi_add_index_entry(s, st, e.pos + j, e.timestamp + j / ast->sample_size, size,
                                AVINDEX_KEYFRAME) < 0)
            break;
    }
}

int finish_header(AVFormatContext* s, const HeaderState& h) {
    AVIContext* avi = avi_of(s);
    if (static_cast<int>(s->nb_streams) != h.stream_number + 1)
        return -1;
    if (!avi->index_loaded && seekable(s))
        avi_load_idx1(s);
    avi->index_loaded = 1;

    int64_t last_start = 0, first_end = INT64_MAX;
    bool indexed = false;
    for (unsigned i = 0; i < s->nb_streams; ++i) {
        AVStream* st = s->streams[i];
        if (st->nb_index_entries == 0)
            continue;
        indexed = true;
        last_start = std::max(last_start, st->index_entries[0].pos);
        first_end = std::min(first_end, st->index_entries[st->nb_index_entries - 1].pos);
    }
    if (last_start > first_end)
        avi->non_interleaved = 1;
    if (!indexed)
        avi->non_interleaved = 0;  // nothing to take the order from: scan the chunks
    if (avi->non_interleaved) {
        for (unsigned i = 0; i < s->nb_streams; ++i)
            split_single_chunk(s, s->streams[i]);
    }
    s->bit_rate = h.bit_rate;
    return 0;
}

// Acts on one header chunk. 1 when the walk has reached the data, 0 to go
// on, -1 to reject the file.
int read_header_chunk(AVFormatContext* s, const Chunk& chunk, HeaderState& h) {
    AVIContext* avi = avi_of(s);
    ByteIOContext* pb = s->pb;
    switch (chunk.tag) {
        case MKTAG('L', 'I', 'S', 'T'):
            if (get_le32(pb) == MKTAG('m', 'o', 'v', 'i')) {
                avi->movi_list = chunk.start;
                avi->movi_end = chunk.size ? chunk.end : avi->fsize;
                return 1;
            }
            return 0;  // walk on inside the list
        case MKTAG('a', 'm', 'v', 'h'):
            h.amv = true;
            [[fallthrough]];
        case MKTAG('a', 'v', 'i', 'h'): {
            ChunkBody body(pb, chunk, kMainHeaderSize);
            read_main_header(body.io(), avi, h);
            break;
        }
        case MKTAG('s', 't', 'r', 'h'): {
            ChunkBody body(pb, chunk, kStreamHeaderSize);
            if (read_stream_header(s, body, h) < 0)
                return -1;
            break;
        }
        case MKTAG('s', 't', 'r', 'f'):
            if (read_stream_format(s, chunk, h) < 0)
                return -1;
            break;
        case MKTAG('d', 'm', 'l', 'h'):
            avi->is_odml = 1;
            break;
        case MKTAG('i', 'n', 'd', 'x'):
            if (seekable(s) && !(s->flags & AVFMT_FLAG_NO_ODML_INDEX))
                read_odml_index(s, h.odml, 0, chunk.end, 0);
            break;
        case MKTAG('v', 'p', 'r', 'p'):
            read_video_properties(s, chunk);
            break;
        default:
            if (const char* key = info_key(chunk.tag)) {
                read_info_text(s, chunk, key);
                break;
            }
            if (chunk.size > kMaxSkippableChunk) {
                // Damaged header: read the rest of the file as packets.
                avi->movi_list = chunk.start - 4;
                avi->movi_end = avi->fsize;
                return 1;
            }
            break;
    }
    return url_fseek(pb, chunk.end, 0) < 0 ? -1 : 0;
}

}  // namespace

int avi_stream_of_tag(unsigned tag) {
    int c0 = static_cast<int>(tag & 0xff), c1 = static_cast<int>((tag >> 8) & 0xff);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9')
        return 100;
    return 10 * (c0 - '0') + (c1 - '0');
}

int avi_add_index_entry(AVFormatContext* s, AVStream* st, int64_t pos, int64_t timestamp,
                        int64_t size, int flags) {
    AVIContext* avi = avi_of(s);
    if (pos < 0 || pos >= file_limit(avi) || size < 0 || size > kMaxPacketSize ||
        size > file_limit(avi) - pos)
        return -1;
    if (avi->fsize > 0 && total_index_entries(s) >= avi->fsize / 8 + 1)
        return -1;
    return av_add_index_entry(st, pos, timestamp, static_cast<int>(size), 0, flags);
}

int avi_probe(AVProbeData* p) {
    if (!p || !p->buf || p->buf_size < 12)
        return 0;
    uint8_t tag[8];
    std::memcpy(tag, p->buf, 4);
    std::memcpy(tag + 4, p->buf + 8, 4);
    return accepted_signature(tag) ? 100 : 0;
}

int avi_load_idx1(AVFormatContext* s) {
    AVIContext* avi = avi_of(s);
    ByteIOContext* pb = s->pb;
    int64_t saved = url_ftell(pb);
    int result = -1;
    if (url_fseek(pb, avi->movi_end, 0) < 0)
        return -1;
    while (!url_feof(pb)) {
        Chunk chunk;
        chunk.tag = get_le32(pb);
        chunk.size = get_le32(pb);
        if (url_feof(pb))
            break;
        chunk.start = url_ftell(pb);
        chunk.end = chunk.start + chunk.size + (chunk.size & 1);
        if (chunk.tag == MKTAG('i', 'd', 'x', '1') && chunk.size >= 16) {
            int64_t count = chunk.size / 16;
            if (avi->fsize > 0)
                count = std::min<int64_t>(count, (avi->fsize - chunk.start) / 16);
            read_idx1_entries(s, count);
            result = 0;
            break;
        }
        if (url_fseek(pb, chunk.end, 0) < 0)
            break;
    }
    url_fseek(pb, saved, 0);
    return result;
}

void avi_ensure_index(AVFormatContext* s) {
    AVIContext* avi = avi_of(s);
    if (avi->index_loaded)
        return;
    avi_load_idx1(s);
    avi->index_loaded = 1;
}

int avi_read_header(AVFormatContext* s, AVFormatParameters*) {
    AVIContext* avi = avi_of(s);
    ByteIOContext* pb = s->pb;
    if (!avi || !pb)
        return -1;
    avi->stream_index = -1;
    uint8_t tag[8];
    get_buffer(pb, tag, 4);
    uint32_t riff_size = get_le32(pb);
    get_buffer(pb, tag + 4, 4);
    avi->riff_end = static_cast<int64_t>(riff_size) + 8;
    if (!accepted_signature(tag))
        return -1;
    avi->fsize = url_fsize(pb);
    if (avi->fsize < 1)
        avi->fsize = avi->riff_end;
    if (url_feof(pb))
        return -1;

    HeaderState h;
    h.odml.budget = avi->fsize / 8 + 1;
    for (;;) {
        Chunk chunk;
        chunk.tag = get_le32(pb);
        chunk.size = get_le32(pb);
        chunk.start = url_ftell(pb);
        chunk.end = chunk.start + chunk.size + (chunk.size & 1);
        if (url_feof(pb))
            return -1;
        int r = read_header_chunk(s, chunk, h);
        if (r < 0)
            return -1;
        if (r > 0)
            break;
        if (url_feof(pb))
            return -1;
    }
    return finish_header(s, h);
}

int avi_read_info(const char* path, AVIFileInfo* info, char* text, int text_size) {
    AVFormatContext s{};
    AVIContext avi{};
    s.priv_data = &avi;
    int err = url_fopen(&s.pb, path, URL_RDONLY);
    if (err < 0)
        return err;
    err = avi_read_header(&s, nullptr);
    if (err == 0 && info) {
        *info = AVIFileInfo{};
        info->start_time = s.start_time;
        info->duration = s.duration;
        for (unsigned i = 0; i < s.nb_streams; ++i) {
            AVStream* st = s.streams[i];
            AVCodecContext* c = st->codec;
            info->bit_rate += c->bit_rate;
            if (info->duration == 0 && st->time_base.den > 0)
                info->duration =
                    std::max<int64_t>(info->duration, static_cast<int64_t>(st->time_base.num) *
                                                          st->nb_index_entries / st->time_base.den);
            if (c->codec_type == CODEC_TYPE_VIDEO) {
                info->video_width = c->width;
                info->video_height = c->height;
                info->video_bit_rate = c->bit_rate;
                info->video_time_base_den = st->time_base.den;
            } else if (c->codec_type == CODEC_TYPE_AUDIO) {
                info->audio_bit_rate = c->bit_rate;
            }
        }
    }
    if (err == 0 && text && text_size > 0) {
        // The title the INFO list gives (INAM), else the context's own.
        const AVMetadataTag* title = av_metadata_get(s.metadata, "Title", nullptr, 0);
        av_strlcpy(text, title ? title->value : s.title, static_cast<size_t>(text_size));
    }
    avi_read_close(&s);
    avformat_free_context_avi(&s);
    url_fclose(s.pb);
    return err;
}

}  // namespace container
