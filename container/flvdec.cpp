#include "container/flvdec.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "container/amf.h"
#include "container/aviobuf.h"
#include "container/intfloat.h"
#include "container/mem.h"

namespace container {
namespace {

enum FlvTagType { FLV_TAG_AUDIO = 8, FLV_TAG_VIDEO = 9, FLV_TAG_DATA = 16, FLV_TAG_SCRIPT = 18 };
enum FlvFrameType { FLV_FRAME_KEY = 1, FLV_FRAME_DISP_INTER = 3, FLV_FRAME_INFO = 5 };
enum AvcPacketType { AVC_SEQUENCE_HEADER = 0, AVC_NALU = 1 };

constexpr int FLV_VIDEO_H264 = 7;
constexpr int FLV_STREAM_VIDEO = 0;
constexpr int FLV_STREAM_AUDIO = 1;
constexpr int FLV_STREAM_DATA = 2;

// Codec numbers of the FLV-only formats.
constexpr CodecID CODEC_ID_FLV1 = 22;
constexpr CodecID CODEC_ID_FLASHSV = 88;
constexpr CodecID CODEC_ID_VP6F = 94;
constexpr CodecID CODEC_ID_VP6A = 109;
constexpr CodecID CODEC_ID_NELLYMOSER = 0x15024;
constexpr CodecID CODEC_ID_SPEEX = 0x15026;

constexpr int64_t kHeaderSize = 9;
constexpr int64_t kSizeFieldSize = 4;  // previous-tag size in front of every tag
constexpr int64_t kTagHeaderSize = 11;
constexpr int64_t kTagFieldsSize = kSizeFieldSize + kTagHeaderSize;
constexpr int64_t kMaxTagSize = 0xFFFFFF + kTagHeaderSize;  // largest previous-tag size
constexpr int64_t kChainFloor = 5;  // a size chain running below this has ended
constexpr int kMinScriptSize = 19;  // "onMetaData" string and a value
constexpr int kMaxScriptNameLength = 10;
constexpr int kH264HeaderSize = 4;      // packet type and composition offset
constexpr int kDiscardDisposable = 16;  // AVStream::discard levels
constexpr int kDiscardNonKey = 32;
constexpr int kDiscardAll = 48;
constexpr int64_t kNoEnd = INT64_MAX;
constexpr int64_t kNoGroup = -1;
constexpr double kMaxInt64Double = 9.2e18;  // below INT64_MAX, exactly representable range

// One tag's header, read without its payload.
struct TagHeader {
    int64_t pos = 0;  // its previous-size field
    int type = 0;
    int size = 0;  // data size
    int64_t ts = 0;
    int flags = -1;     // first data byte; -1 when the tag has no data
    int avc_type = -1;  // H.264 video: the packet-type byte, else -1
    int64_t end() const { return pos + kTagFieldsSize + size; }
    int frame_type() const { return flags >> 4; }
    // A video tag that delivers a picture (not information, not a sequence header or end).
    bool is_picture() const {
        if (type != FLV_TAG_VIDEO || flags < 0 || frame_type() == FLV_FRAME_INFO)
            return false;
        return (flags & 15) != FLV_VIDEO_H264 || avc_type == AVC_NALU;
    }
    bool is_key() const { return is_picture() && frame_type() == FLV_FRAME_KEY; }
};

FLVContext* flv_context(AVFormatContext* s) {
    if (!s || !s->pb || !s->priv_data)
        return nullptr;
    return static_cast<FLVContext*>(s->priv_data);
}

FLVContext* slot_context(AVFormatContext* s, int slot) {
    return slot >= 0 && slot < FLV_PACKET_SLOTS ? flv_context(s) : nullptr;
}

// Reads the 15 bytes of size field and tag header at the current position.
// False when the file ends inside them.
bool read_tag_fields(ByteIOContext* pb, TagHeader* t) {
    uint8_t h[kTagFieldsSize];
    t->pos = url_ftell(pb);
    if (get_buffer(pb, h, kTagFieldsSize) != kTagFieldsSize)
        return false;
    t->type = h[4];
    t->size = h[5] << 16 | h[6] << 8 | h[7];
    const uint32_t ts = uint32_t{h[8]} << 16 | uint32_t{h[9]} << 8 | h[10] | uint32_t{h[11]} << 24;
    t->ts = static_cast<int32_t>(ts);
    return true;
}

// The whole header of the tag at pos, with the first data byte and the
// packet type of an H.264 tag. False when the file ends inside them.
bool read_tag_at(ByteIOContext* pb, int64_t pos, TagHeader* t) {
    if (url_fseek(pb, pos, 0) < 0 || !read_tag_fields(pb, t))
        return false;
    t->flags = t->avc_type = -1;
    if (t->size > 0 && (t->flags = url_fgetc(pb)) < 0)
        return false;
    if (t->type == FLV_TAG_VIDEO && (t->flags & 15) == FLV_VIDEO_H264 && t->size > 1)
        t->avc_type = url_fgetc(pb);
    return true;
}

// Whether the tag lies wholly inside a file of file_size bytes (0 or less:
// size unknown).
bool is_whole(const TagHeader& t, int64_t file_size) {
    return file_size <= 0 || t.end() <= file_size;
}

// Visits the whole tags from pos onwards until visit returns true or a tag
// cannot be read whole. The position where the walk stopped.
template <typename Visit>
int64_t walk_forward(ByteIOContext* pb, int64_t pos, Visit visit) {
    const int64_t file_size = url_fsize(pb);
    TagHeader t;
    while (read_tag_at(pb, pos, &t) && is_whole(t, file_size) && !visit(t))
        pos = t.end();
    return pos;
}

// Seeks to pos. When pos lies before the buffered bytes, the buffer is
// refilled so that it ends just past pos: a walk back through the size
// chain then finds its next steps already read.
void seek_back(ByteIOContext* pb, int64_t pos) {
    const int64_t buffered_from = pb->pos - (pb->buf_end - pb->buffer);
    if (!pb->write_flag && pos < buffered_from && pb->buffer_size > 2 * kTagFieldsSize) {
        url_fseek(pb, std::max<int64_t>(0, pos + 2 * kTagFieldsSize - pb->buffer_size), 0);
        url_fgetc(pb);
    }
    url_fseek(pb, pos, 0);
}

// Visits the tags before the size field at pos, newest first, through the
// chain of previous-tag sizes; a tag counts only when its own data size
// agrees with the size field behind it. Stops when visit returns true
// (true) or the chain ends: a size of 0 or a tag below position 5 (false).
// Each step moves back at least 15 bytes.
template <typename Visit>
bool walk_back(ByteIOContext* pb, int64_t pos, Visit visit) {
    while (pos >= kChainFloor) {
        seek_back(pb, pos);
        const int64_t size = get_be32(pb);
        if (url_feof(pb) || size < kTagHeaderSize || pos - size - kSizeFieldSize < kChainFloor)
            return false;
        pos -= size + kSizeFieldSize;
        TagHeader t;
        if (read_tag_at(pb, pos, &t) && t.size + kTagHeaderSize == size && visit(t))
            return true;
    }
    return false;
}

// v truncated to an integer in [lo, hi]; false for NaN, infinities and
// values outside.
bool to_integer(double v, double lo, double hi, int64_t* out) {
    if (!(v >= lo && v <= hi))
        return false;
    *out = static_cast<int64_t>(v);
    return true;
}

void set_video_codec(AVCodecContext* c, int id) {
    switch (id) {
        case 2:
            c->codec_id = CODEC_ID_FLV1;
            break;
        case 3:
            c->codec_id = CODEC_ID_FLASHSV;
            break;
        case 4:
            c->codec_id = CODEC_ID_VP6F;
            break;
        case 5:
            c->codec_id = CODEC_ID_VP6A;
            break;
        case FLV_VIDEO_H264:
            c->codec_id = CODEC_ID_H264;
            break;
        default:
            c->codec_tag = static_cast<unsigned>(id);
            break;
    }
}

// PCM in FLV is unsigned at 8 bits, like WAV.
void set_audio_codec(AVCodecContext* c, int format) {
    switch (format) {
        case 0:
        case 3:
            c->codec_id = c->bits_per_coded_sample == 8 ? CODEC_ID_PCM_U8 : CODEC_ID_PCM_S16LE;
            break;
        case 1:
            c->codec_id = CODEC_ID_ADPCM_SWF;
            break;
        case 2:
            c->codec_id = CODEC_ID_MP3;
            break;
        case 5:
            c->codec_id = CODEC_ID_NELLYMOSER;
            c->sample_rate = 8000;
            break;
        case 6:
            c->codec_id = CODEC_ID_NELLYMOSER;
            break;
        case 10:
            c->codec_id = CODEC_ID_AAC;
            break;
        case 11:
            c->codec_id = CODEC_ID_SPEEX;
            c->sample_rate = 16000;
            break;
        default:
            c->codec_tag = static_cast<unsigned>(format);
            break;
    }
}

// Replaces c's extradata by size bytes read from pb, zero-padded. -12 when
// no block can be had, -5 when the file ends first (old extradata kept).
// A block over the layer's cap is skipped and the old one kept.
int read_extradata(AVCodecContext* c, ByteIOContext* pb, int size) {
    if (size > MAX_EXTRADATA_SIZE) {
        url_fskip(pb, size);
        return 0;
    }
    auto* block =
        static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(size) + FF_INPUT_BUFFER_PADDING_SIZE));
    if (!block)
        return AVERROR_NOMEM;
    if (get_buffer(pb, block, size) != size) {
        av_free(block);
        return AVERROR_IO;
    }
    av_free(c->extradata);
    c->extradata = block;
    c->extradata_size = size;
    return 0;
}

// The rate and channel count an AAC AudioSpecificConfig names; the tag
// flags of AAC always say 44.1 kHz stereo.
void apply_aac_config(AVCodecContext* c) {
    static const int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                   22050, 16000, 12000, 11025, 8000,  7350};
    const uint8_t* e = c->extradata;
    if (c->extradata_size < 2 || (e[0] >> 3) == 31)  // escaped object types are not read
        return;
    const int rate_index = (e[0] & 7) << 1 | e[1] >> 7;
    const int channels = (e[1] >> 3) & 15;
    if (rate_index < 13)
        c->sample_rate = kRates[rate_index];
    if (channels > 0 && channels < 8)
        c->channels = channels == 7 ? 8 : channels;
}

// --- Script-tag metadata ---------------------------------------------------

struct MetadataWalk {
    AVFormatContext* s;
    ByteIOContext* pb;
    AVCodecContext* video;  // null when the file has no such stream
    AVCodecContext* audio;
    int64_t end;  // the script tag's end: nothing beyond is read
    int64_t left() const { return end - url_ftell(pb); }
};

int read_amf_value(MetadataWalk& w, const char* key, int depth);

void apply_number(MetadataWalk& w, const char* key, double v) {
    AVCodecContext* video = w.video;
    AVCodecContext* audio = w.audio;
    int64_t n = 0;
    if (!std::strcmp(key, "duration")) {
        // 0 (also what NaN and infinities read as) is left to the probe at the end.
        if (to_integer(v * 1e6, 1, kMaxInt64Double, &n))
            w.s->duration = n;
    } else if (!std::strcmp(key, "width") || !std::strcmp(key, "height")) {
        if (video && v > 0 && to_integer(v, 1, INT_MAX, &n))
            (key[0] == 'w' ? video->width : video->height) = static_cast<int>(n);
    } else if (!std::strcmp(key, "framerate")) {
        if (video && to_integer(v, 1, INT_MAX, &n))
            video->time_base.den = static_cast<int>(n);
    } else if (!std::strcmp(key, "videodatarate") || !std::strcmp(key, "audiodatarate")) {
        AVCodecContext* c = key[0] == 'v' ? video : audio;
        if (c && to_integer(v, 0, INT_MAX, &n))
            c->bit_rate = static_cast<int>(n);
    } else if (!std::strcmp(key, "videocodecid")) {
        if (video && to_integer(v, 0, INT_MAX, &n))
            set_video_codec(video, static_cast<int>(n));
    } else if (!std::strcmp(key, "audiocodecid")) {
        if (audio && to_integer(v, 0, INT_MAX, &n))
            set_audio_codec(audio, static_cast<int>(n & 0x0FFFFFFF));
    } else if (!std::strcmp(key, "audiosamplesize")) {
        if (audio && to_integer(v, 1, INT_MAX, &n)) {
            audio->bits_per_coded_sample = static_cast<int>(n);
            if (n == 8 && (audio->codec_id == CODEC_ID_PCM_S16LE ||
                           audio->codec_id == CODEC_ID_PCM_S16LE + 1))
                audio->codec_id = CODEC_ID_PCM_U8;
        }
    } else if (!std::strcmp(key, "audiosamplerate")) {
        if (audio && audio->sample_rate == 0 && to_integer(v, 0, INT_MAX, &n)) {
            static const int kNominal[][2] = {
                {5000, 5512}, {11000, 11025}, {22000, 22050}, {44000, 44100}};
            audio->sample_rate = static_cast<int>(n);
            for (const auto& r : kNominal) {
                if (n == r[0])
                    audio->sample_rate = r[1];
            }
        }
    }
}

// A 16-bit length and that many bytes; the length, or -1 when it is 256 or
// more or runs past the tag.
int read_amf_text(MetadataWalk& w, char* text) {
    if (w.left() < 2)
        return -1;
    const int length = static_cast<int>(get_be16(w.pb));
    if (length > AMF_MAX_STRING_LENGTH || length > w.left())
        return -1;
    get_buffer(w.pb, reinterpret_cast<unsigned char*>(text), length);
    text[length] = '\0';
    return length;
}

int read_object_end(MetadataWalk& w) {
    return w.left() >= 1 && get_byte(w.pb) == AMF_DATA_TYPE_OBJECT_END ? 0 : -1;
}

// Members of an object (keys not applied) or an ECMA array (keys passed
// on), up to the empty key and the end marker.
int read_amf_members(MetadataWalk& w, bool keyed, int depth) {
    char name[AMF_TEXT_SIZE];
    while (w.left() > 2) {
        const int length = read_amf_text(w, name);
        if (length < 0)
            return -1;
        if (length == 0)
            break;
        if (read_amf_value(w, keyed ? name : nullptr, depth + 1) < 0)
            return -1;
    }
    return read_object_end(w);
}

int read_amf_array(MetadataWalk& w, int depth) {
    if (w.left() < AMF_COUNT_SIZE)
        return -1;
    const uint32_t count = get_be32(w.pb);
    if (count > w.left())  // every element takes a byte at least
        return -1;
    for (uint32_t i = 0; i < count && w.left() > 1; i++) {
        if (read_amf_value(w, nullptr, depth + 1) < 0)
            return -1;
    }
    return 0;
}

// One AMF0 value inside the tag. Keys take effect on the members of the
// top-level ECMA array (depth 1). 0, or -1 for a value that is bad or
// runs past the tag.
int read_amf_value(MetadataWalk& w, const char* key, int depth) {
    if (w.left() < 1)
        return -1;
    const int type = get_byte(w.pb);
    const bool applies = key && depth == 1;
    char text[AMF_TEXT_SIZE];
    switch (type) {
        case AMF_DATA_TYPE_NUMBER: {
            if (w.left() < AMF_NUMBER_SIZE)
                return -1;
            const double v = av_int2dbl(static_cast<int64_t>(get_be64(w.pb)));
            if (applies)
                apply_number(w, key, v);
            return 0;
        }
        case AMF_DATA_TYPE_BOOL: {
            if (w.left() < 1)
                return -1;
            const int v = get_byte(w.pb);
            if (applies && w.audio && !std::strcmp(key, "mono"))
                w.audio->channels = v ? 1 : 2;
            return 0;
        }
        case AMF_DATA_TYPE_STRING:
            return read_amf_text(w, text) < 0 ? -1 : 0;
        case AMF_DATA_TYPE_OBJECT:
        case AMF_DATA_TYPE_MIXEDARRAY:
        case AMF_DATA_TYPE_ARRAY:
            if (depth >= AMF_MAX_DEPTH)
                return -1;
            if (type == AMF_DATA_TYPE_ARRAY)
                return read_amf_array(w, depth);
            if (type == AMF_DATA_TYPE_MIXEDARRAY) {
                if (w.left() < AMF_COUNT_SIZE)
                    return -1;
                url_fskip(w.pb, AMF_COUNT_SIZE);  // the count is only a hint
            }
            return read_amf_members(w, type == AMF_DATA_TYPE_MIXEDARRAY, depth);
        case AMF_DATA_TYPE_DATE:
            if (w.left() < AMF_DATE_SIZE)
                return -1;
            url_fskip(w.pb, AMF_DATE_SIZE);
            return 0;
        case AMF_DATA_TYPE_NULL:
        case AMF_DATA_TYPE_UNDEFINED:
        case AMF_DATA_TYPE_UNSUPPORTED:
            return 0;
        default:
            return -1;
    }
}

AVCodecContext* last_codec_of_type(AVFormatContext* s, int codec_type) {
    AVCodecContext* found = nullptr;
    for (unsigned i = 0; i < s->nb_streams; i++) {
        if (s->streams[i]->codec->codec_type == codec_type)
            found = s->streams[i]->codec;
    }
    return found;
}

// A script tag whose first byte (already read) is `marker`: "onMetaData"
// and its value, walked inside the tag.
void read_metadata(AVFormatContext* s, int marker, int64_t end) {
    ByteIOContext* pb = s->pb;
    char name[AMF_TEXT_SIZE];
    const int length = static_cast<int>(get_be16(pb));
    if (marker != AMF_DATA_TYPE_STRING || length > kMaxScriptNameLength)
        return;
    get_buffer(pb, reinterpret_cast<unsigned char*>(name), length);
    name[length] = '\0';
    if (std::strcmp(name, "onMetaData") != 0)
        return;
    MetadataWalk w{s, pb, last_codec_of_type(s, CODEC_TYPE_VIDEO),
                   last_codec_of_type(s, CODEC_TYPE_AUDIO), end};
    read_amf_value(w, nullptr, 0);
}

// --- Packets ----------------------------------------------------------------

// A key frame goes into the stream's index only where it extends it (or
// replaces an entry of the same time): an earlier one, met reading
// backwards or in a file whose times go down, would move every later
// entry, and reading would grow with the square of the file.
void index_key_frame(AVStream* st, int64_t pos, int64_t ts, int size) {
    const int n = st->nb_index_entries;
    if (n > 0 && ts < st->index_entries[n - 1].timestamp)
        return;
    av_add_index_entry(st, pos, ts, size, 0, AVINDEX_KEYFRAME);
}

AVStream* stream_for(AVFormatContext* s, int id, int codec_type) {
    for (unsigned i = 0; i < s->nb_streams; i++) {
        if (s->streams[i]->id == id)
            return s->streams[i];
    }
    AVStream* st = av_new_stream_flv(s, id);
    if (st)
        st->codec->codec_type = codec_type;
    return st;
}

bool discarded(const AVStream* st, const TagHeader& t) {
    if (st->discard >= kDiscardAll)
        return true;
    if (t.type != FLV_TAG_VIDEO)
        return false;
    if (st->discard >= kDiscardNonKey && t.frame_type() != FLV_FRAME_KEY)
        return true;
    return st->discard >= kDiscardDisposable && t.frame_type() == FLV_FRAME_DISP_INTER;
}

// The last tag's timestamp as the duration, when the file's last size field
// describes a whole tag. Looks back at most one tag from the end.
void probe_duration(AVFormatContext* s) {
    ByteIOContext* pb = s->pb;
    const int64_t here = url_ftell(pb);
    const int64_t file_size = url_fsize(pb);
    if (file_size >= kHeaderSize + kTagFieldsSize &&
        url_fseek(pb, file_size - kSizeFieldSize, 0) >= 0) {
        const int64_t size = get_be32(pb);
        const int64_t tag = file_size - kSizeFieldSize - size;
        if (size >= kTagHeaderSize && size <= kMaxTagSize && tag >= kHeaderSize &&
            url_fseek(pb, tag + 1, 0) >= 0 && get_be24(pb) == size - kTagHeaderSize) {
            s->duration = get_be24(pb) * 1000;
        }
    }
    url_fseek(pb, here, 0);
}

void update_codec(AVCodecContext* c, const TagHeader& t) {
    if (t.type != FLV_TAG_AUDIO) {
        set_video_codec(c, t.flags & 15);
        return;
    }
    if (!c->channels || !c->sample_rate || !c->bits_per_coded_sample) {
        c->channels = (t.flags & 1) + 1;
        c->sample_rate = 44100 << ((t.flags >> 2) & 3) >> 3;
        c->bits_per_coded_sample = t.flags & 2 ? 16 : 8;
    }
    if (c->codec_id == CODEC_ID_NONE)
        set_audio_codec(c, t.frame_type());
}

}  // namespace

AVStream* av_new_stream_flv(AVFormatContext* s, int id) {
    AVStream* st = av_new_stream_avi(s, id);
    if (st)
        av_set_pts_info(st, 32, 1, 1000);
    return st;
}

void avformat_free_context_flv(AVFormatContext* s) {
    avformat_free_context_avi(s);
}

int flv_read_header(AVFormatContext* s, AVFormatParameters*) {
    FLVContext* flv = flv_context(s);
    if (!flv)
        return AVERROR_INVAL;
    ByteIOContext* pb = s->pb;
    url_fskip(pb, 4);  // signature and version, not checked
    int flags = get_byte(pb);
    const int64_t offset = get_be32(pb);
    if (url_feof(pb))
        return AVERROR_IO;
    if (flags == 0)  // some writers leave the flags empty
        flags = 5;
    if ((flags & 1) && !stream_for(s, FLV_STREAM_VIDEO, CODEC_TYPE_VIDEO))
        return AVERROR_NOMEM;
    if ((flags & 4) && !stream_for(s, FLV_STREAM_AUDIO, CODEC_TYPE_AUDIO))
        return AVERROR_NOMEM;
    flv->data_offset = offset;
    url_fseek(pb, offset, 0);
    s->start_time = 0;
    s->duration = AV_NOPTS_VALUE;
    return 0;
}

int flv_read_packet(AVFormatContext* s, AVPacket* pkt) {
    FLVContext* flv = flv_context(s);
    if (!flv || !pkt)
        return AVERROR_INVAL;
    ByteIOContext* pb = s->pb;
    for (;;) {
        TagHeader t;
        flv->tag_pos = url_ftell(pb);
        if (!read_tag_fields(pb, &t))
            return AVERROR_SPIPE;
        if (t.size == 0)
            continue;
        const int64_t next = t.end();
        if ((t.flags = url_fgetc(pb)) < 0)
            return AVERROR_SPIPE;
        int id = FLV_STREAM_AUDIO;
        int codec_type = CODEC_TYPE_AUDIO;
        if (t.type == FLV_TAG_VIDEO || t.type == FLV_TAG_DATA) {
            id = t.type == FLV_TAG_VIDEO ? FLV_STREAM_VIDEO : FLV_STREAM_DATA;
            codec_type = t.type == FLV_TAG_VIDEO ? CODEC_TYPE_VIDEO : CODEC_TYPE_DATA;
            if (t.frame_type() == FLV_FRAME_INFO)
                id = -1;
        } else if (t.type != FLV_TAG_AUDIO) {
            if (t.type == FLV_TAG_SCRIPT && t.size >= kMinScriptSize)
                read_metadata(s, t.flags, next);
            id = -1;
        }
        AVStream* st = id < 0 ? nullptr : stream_for(s, id, codec_type);
        if (!st || discarded(st, t)) {
            url_fseek(pb, next, 0);
            continue;
        }
        if (!flv->searched_for_end && !pb->is_streamed && pb->seek &&
            s->duration == AV_NOPTS_VALUE) {
            flv->searched_for_end = 1;
            probe_duration(s);
        }
        AVCodecContext* c = st->codec;
        int size = t.size - 1;
        update_codec(c, t);
        const int video_codec = t.flags & 15;
        if (t.type != FLV_TAG_AUDIO && (video_codec == 4 || video_codec == 5)) {  // VP6
            if (size < 1) {
                url_fseek(pb, next, 0);
                continue;
            }
            const int r = read_extradata(c, pb, 1);
            if (r < 0)
                return r;
            size -= 1;
        }
        int64_t dts = t.ts;
        int64_t pts = AV_NOPTS_VALUE;
        if (c->codec_id == CODEC_ID_AAC || c->codec_id == CODEC_ID_H264) {
            const bool h264 = c->codec_id == CODEC_ID_H264;
            if (size < (h264 ? kH264HeaderSize : 1)) {
                url_fseek(pb, next, 0);
                continue;
            }
            const int packet_type = get_byte(pb);
            size -= 1;
            if (h264) {
                const int32_t offset = static_cast<int32_t>(get_be24(pb) << 8) >> 8;
                size -= 3;
                pts = dts + offset;
                if (offset < 0)
                    flv->wrong_dts = 1;
                if (flv->wrong_dts)
                    dts = AV_NOPTS_VALUE;
            }
            if (packet_type == AVC_SEQUENCE_HEADER) {
                const int r = read_extradata(c, pb, size);
                if (r < 0)
                    return r;
                if (!h264)
                    apply_aac_config(c);
                continue;
            }
        }
        if (size == 0)  // nothing to deliver (an H.264 end of sequence)
            continue;
        const int got = av_get_packet(pb, pkt, size);
        if (got < size) {
            if (got > 0)
                pkt->destruct(pkt);
            return got < 0 ? got : AVERROR_IO;
        }
        const bool key = codec_type != CODEC_TYPE_VIDEO || t.frame_type() == FLV_FRAME_KEY;
        if (t.frame_type() == FLV_FRAME_KEY)  // for sound: format 1
            index_key_frame(st, t.pos, t.ts, size);
        pkt->dts = dts;
        pkt->pts = pts == AV_NOPTS_VALUE ? dts : pts;
        pkt->stream_index = st->index;
        pkt->flags = key ? PKT_FLAG_KEY : 0;
        return got;
    }
}

int flv_read_close(AVFormatContext* s) {
    for (unsigned i = 0; s && i < s->nb_streams; i++)
        av_freep(&s->streams[i]->codec->palctrl);
    return 0;
}

// --- Seek -------------------------------------------------------------------

namespace {

// Key frames around a seek target: the last one at or before it and the
// first one after it.
struct SeekCandidates {
    TagHeader before, after;
    bool has_before = false, has_after = false;
};

// From pos onwards: key frames met before any picture later than the
// target replace `before`; the first one met after such a picture is `after`.
void find_forward(ByteIOContext* pb, int64_t pos, int64_t timestamp, SeekCandidates* c) {
    bool later_seen = false;
    walk_forward(pb, pos, [&](const TagHeader& t) {
        later_seen = later_seen || (t.is_picture() && t.ts > timestamp);
        if (!t.is_key())
            return false;
        if (later_seen) {
            c->after = t;
            return c->has_after = true;
        }
        c->before = t;
        c->has_before = true;
        return false;
    });
}

// Back from the size field at pos: the nearest key frame at or before the
// target ends the walk as `before`; later ones become `after` on the way
// unless an `after` was already found.
void find_backward(ByteIOContext* pb, int64_t pos, int64_t timestamp, SeekCandidates* c) {
    const bool keep_after = c->has_after;
    walk_back(pb, pos, [&](const TagHeader& t) {
        if (!t.is_key())
            return false;
        if (t.ts <= timestamp) {
            c->before = t;
            return c->has_before = true;
        }
        if (!keep_after) {
            c->after = t;
            c->has_after = true;
        }
        return false;
    });
}

void find_first_after(ByteIOContext* pb, int64_t pos, int64_t timestamp, SeekCandidates* c) {
    walk_forward(pb, pos, [&](const TagHeader& t) {
        if (!t.is_key() || t.ts <= timestamp)
            return false;
        c->after = t;
        return c->has_after = true;
    });
}

// Where walks can start from the reader's position p0: p0 itself, or, when
// no size field lies there (the file was read to its end, or the reader
// stopped inside a last tag cut short), the start of the tag it began last.
int64_t walk_start(AVFormatContext* s, const FLVContext* flv, int64_t p0) {
    const int64_t file_size = url_fsize(s->pb);
    if (file_size > 0 && p0 + kSizeFieldSize > file_size && flv->tag_pos >= flv->data_offset &&
        flv->tag_pos < p0)
        return flv->tag_pos;
    return p0;
}

}  // namespace

int flv_seek_frame(AVFormatContext* s, int64_t timestamp, int, int slot) {
    FLVContext* flv = slot_context(s, slot);
    if (!flv || timestamp < 0)
        return 0;
    ByteIOContext* pb = s->pb;
    const int64_t p0 = url_ftell(pb);
    const int64_t from = walk_start(s, flv, p0);
    TagHeader ref;
    bool has_ref = false;
    const int64_t stop = walk_forward(pb, from, [&](const TagHeader& t) {
        if (t.is_picture()) {
            ref = t;
            has_ref = true;
        }
        return has_ref;
    });
    // The next picture's time says which way to look first; the other way
    // is looked at only for what the first could not find.
    const bool forward = has_ref && timestamp > ref.ts;
    const int64_t back_from = forward ? from : has_ref ? ref.end() : stop;
    SeekCandidates c;
    if (forward)
        find_forward(pb, from, timestamp, &c);
    if (!c.has_before)
        find_backward(pb, back_from, timestamp, &c);
    if (!c.has_before && !c.has_after) {
        url_fseek(pb, p0, 0);
        return 0;
    }
    if (!c.has_after && !forward)
        find_first_after(pb, back_from, timestamp, &c);
    // A tie goes to the candidate that ended the first walk; a time before
    // the first key frame goes to that one.
    const int64_t to_after = c.has_after ? c.after.ts - timestamp : INT64_MAX;
    const int64_t to_before = c.has_before ? timestamp - c.before.ts : INT64_MAX;
    const bool take_after = to_after < to_before || (forward && to_after == to_before);
    const TagHeader& pick = take_after ? c.after : c.before;
    FLVPacketInfo& info = flv->packet_info;
    info.start_pos[slot] = info.end_pos[slot] = pick.pos;
    info.start_ts[slot] = info.end_ts[slot] = pick.ts;
    url_fseek(pb, pick.pos, 0);
    return 1;
}

// --- Backward reading ---------------------------------------------------------

namespace {

// The last video tag that delivers a picture, and the end of the file's
// last whole tag: through the size chain from the file's end, or, when that
// is broken (a file cut short), by walking the tags from the first one.
bool last_picture(AVFormatContext* s, const FLVContext* flv, TagHeader* last, int64_t* end) {
    ByteIOContext* pb = s->pb;
    const int64_t file_size = url_fsize(pb);
    *end = file_size - kSizeFieldSize;
    if (file_size > 0 && walk_back(pb, *end, [&](const TagHeader& t) {
            return t.is_picture() && t.size > 0 && (*last = t, true);
        }))
        return true;
    bool found = false;
    *end = walk_forward(pb, flv->data_offset, [&](const TagHeader& t) {
        if (t.is_picture()) {
            *last = t;
            found = true;
        }
        return false;
    });
    return found;
}

}  // namespace

int flv_read_header_backward(AVFormatContext* s, AVFormatParameters* ap, int slot) {
    FLVContext* flv = slot_context(s, slot);
    if (!flv)
        return AVERROR_INVAL;
    FLVPacketInfo& info = flv->packet_info;
    info.start_pos[slot] = info.end_pos[slot] = 0;
    info.start_ts[slot] = info.end_ts[slot] = 0;
    const int header = flv_read_header(s, ap);
    if (header < 0)
        return header;
    AVPacket pkt{};
    av_init_packet(&pkt);
    flv_read_packet(s, &pkt);
    av_destruct_packet(&pkt);
    flv_set_to_end_packet(s, slot);
    return 0;
}

int flv_set_to_end_packet(AVFormatContext* s, int slot) {
    FLVContext* flv = slot_context(s, slot);
    if (!flv)
        return AVERROR_INVAL;
    TagHeader last, key;
    int64_t end = 0;
    if (!last_picture(s, flv, &last, &end))
        return AVERROR_SPIPE;
    key = last;
    if (!last.is_key() && !walk_back(s->pb, last.pos, [&](const TagHeader& t) {
            return t.is_key() && (key = t, true);
        }))
        return AVERROR_SPIPE;
    FLVPacketInfo& info = flv->packet_info;
    info.start_pos[slot] = key.pos;
    info.start_ts[slot] = key.ts;
    info.end_pos[slot] = end;  // sound after the last picture too
    info.end_ts[slot] = kNoEnd;
    url_fseek(s->pb, key.pos, 0);
    return 0;
}

int flv_have_packet(AVFormatContext* s, int slot) {
    FLVContext* flv = slot_context(s, slot);
    if (!flv)
        return 0;
    const int64_t p = url_ftell(s->pb);
    return p >= flv->packet_info.start_pos[slot] && p < flv->packet_info.end_pos[slot];
}

int flv_find_backward_packet(AVFormatContext* s, int slot) {
    FLVContext* flv = slot_context(s, slot);
    if (!flv)
        return 0;
    FLVPacketInfo& info = flv->packet_info;
    if (info.start_pos[slot] != 0)
        url_fseek(s->pb, info.start_pos[slot], 0);
    else
        info.start_pos[slot] = url_ftell(s->pb);
    info.end_pos[slot] = info.start_pos[slot];
    info.end_ts[slot] = info.start_ts[slot];
    info.start_ts[slot] = kNoGroup;
    TagHeader key;
    if (!walk_back(s->pb, info.start_pos[slot],
                   [&](const TagHeader& t) { return t.is_key() && (key = t, true); }))
        return 0;
    info.start_ts[slot] = key.ts;
    info.start_pos[slot] = key.pos;
    url_fseek(s->pb, key.pos, 0);
    return 1;
}

int flv_read_packet_backward(AVFormatContext* s, AVPacket* pkt, int slot) {
    FLVContext* flv = slot_context(s, slot);
    if (!flv || !pkt)
        return AVERROR_INVAL;
    const FLVPacketInfo& info = flv->packet_info;
    for (;;) {
        const int64_t p = url_ftell(s->pb);
        if (p >= info.start_pos[slot] && p < info.end_pos[slot]) {
            const int r = flv_read_packet(s, pkt);
            if (r >= 0) {
                if (info.start_ts[slot] != kNoGroup && pkt->dts >= info.start_ts[slot] &&
                    pkt->dts < info.end_ts[slot])
                    return r;
                continue;
            }
            // Tags without packets (an end of sequence) may carry the read
            // past the group's end, to the end of the file: the group is done.
            if (flv->tag_pos < info.end_pos[slot])
                return r;
        }
        if (!flv_find_backward_packet(s, slot))
            return AVERROR_SPIPE;
    }
}

// --- Information --------------------------------------------------------------

int flv_read_info(const char* filename, int64_t* start_time, int64_t* duration, int* bit_rate,
                  char* text, int text_size, int* widths, int widths_size, int* heights,
                  int heights_size, int* video_bit_rates, int video_size, int* audio_bit_rates,
                  int audio_size, int* frame_rates, int frame_rates_size) {
    if (!filename)
        return 0;
    AVFormatContext s{};
    FLVContext flv{};
    s.priv_data = &flv;
    std::strncpy(s.filename, filename, sizeof s.filename - 1);
    if (url_fopen(&s.pb, s.filename, 0) < 0)
        return 0;
    if (flv_read_header(&s, nullptr) >= 0) {
        AVPacket pkt{};
        av_init_packet(&pkt);
        flv_read_packet(&s, &pkt);
        av_destruct_packet(&pkt);
    }
    if (start_time && s.start_time != 0)
        *start_time = s.start_time;
    if (duration && s.duration != 0 && s.duration != AV_NOPTS_VALUE)
        *duration = s.duration;
    if (text && text_size > 0) {
        std::strncpy(text, s.title, static_cast<size_t>(text_size) - 1);
        text[text_size - 1] = '\0';
    }
    int nv = 0, na = 0;
    int64_t total = 0;
    for (unsigned i = 0; i < s.nb_streams; i++) {
        const AVCodecContext* c = s.streams[i]->codec;
        total += c->bit_rate;
        if (c->codec_type == CODEC_TYPE_AUDIO) {
            if (audio_bit_rates && na < audio_size)
                audio_bit_rates[na] = c->bit_rate;
            na++;
        } else if (c->codec_type == CODEC_TYPE_VIDEO) {
            if (widths && nv < widths_size)
                widths[nv] = c->width;
            if (heights && nv < heights_size)
                heights[nv] = c->height;
            if (video_bit_rates && nv < video_size)
                video_bit_rates[nv] = c->bit_rate;
            if (frame_rates && nv < frame_rates_size)
                frame_rates[nv] = c->time_base.den;
            nv++;
        }
    }
    s.bit_rate = static_cast<int>(total < INT_MAX ? total : INT_MAX);
    if (bit_rate && s.bit_rate != 0)
        *bit_rate = s.bit_rate;
    flv_read_close(&s);
    url_fclose(s.pb);
    avformat_free_context_flv(&s);
    return 0;
}

}  // namespace container
