#pragma once

#include <cstdint>

#include "container/aviobuf.h"
#include "container/error.h"
#include "container/mathematics.h"
#include "container/metadata.h"

namespace container {

using CodecID = int;

constexpr CodecID CODEC_ID_NONE = 0;
constexpr CodecID CODEC_ID_H263 = 5;
constexpr CodecID CODEC_ID_MPEG4 = 13;
constexpr CodecID CODEC_ID_H264 = 28;
constexpr CodecID CODEC_ID_AMV = 110;
constexpr CodecID CODEC_ID_PCM_S16LE = 0x10000;
constexpr CodecID CODEC_ID_PCM_S8 = 0x10004;
constexpr CodecID CODEC_ID_PCM_U8 = 0x10005;
constexpr CodecID CODEC_ID_ADPCM_IMA_WAV = 0x11001;
constexpr CodecID CODEC_ID_ADPCM_MS = 0x11006;
constexpr CodecID CODEC_ID_ADPCM_SWF = 0x1100d;
constexpr CodecID CODEC_ID_ADPCM_IMA_AMV = 0x11013;
constexpr CodecID CODEC_ID_XAN_DPCM = 0x14002;
constexpr CodecID CODEC_ID_MP2 = 0x15000;
constexpr CodecID CODEC_ID_MP3 = 0x15001;
constexpr CodecID CODEC_ID_AAC = 0x15002;
constexpr CodecID CODEC_ID_XSUB = 0x17003;

// codec_type values
constexpr int CODEC_TYPE_UNKNOWN = -1;
constexpr int CODEC_TYPE_VIDEO = 0;
constexpr int CODEC_TYPE_AUDIO = 1;
constexpr int CODEC_TYPE_DATA = 2;
constexpr int CODEC_TYPE_SUBTITLE = 3;

constexpr int64_t AV_NOPTS_VALUE = INT64_MIN;
constexpr int MAX_STREAMS = 48;
constexpr int AVSEEK_FLAG_BACKWARD = 1;
constexpr int AVSEEK_FLAG_ANY = 4;
constexpr int AVINDEX_KEYFRAME = 1;
constexpr int PKT_FLAG_KEY = 1;
constexpr int CODEC_FLAG_BITEXACT = 0x800000;
constexpr int AVFMT_FLAG_NO_ODML_INDEX = 2;  // skip OpenDML indx chunks
constexpr int FF_INPUT_BUFFER_PADDING_SIZE = 8;
// Codec-specific bytes a reader keeps and the engine hands on (decoders,
// clips); larger blocks read from a file are not kept.
constexpr int MAX_EXTRADATA_SIZE = 1 << 20;
constexpr int kMinPacketBuffer = 614400;     // smallest packet buffer, reused for later packets
constexpr int kMaxPacketSize = 0x3FFFFFFF;   // larger packets and index entries are refused
constexpr int kMaxIndexEntries = 0xAAAAAA9;  // entries whose byte size fits 32 bits

// Palette of video with at most 8 bits per sample.
struct AVPaletteControl {
    int palette_changed;
    unsigned palette[256];
};

// Codec parameters, owned by their stream.
struct AVCodecContext {
    int bit_rate;
    int flags;
    uint8_t* extradata;  // owned, with 8 zero bytes behind extradata_size
    int extradata_size;
    AVRational time_base;
    int width;
    int height;
    int bits_per_coded_sample;
    int sample_rate;
    int channels;
    int codec_type;
    CodecID codec_id;
    unsigned codec_tag;
    unsigned stream_codec_tag;
    int block_align;
    int frame_size;
    AVPaletteControl* palctrl;  // owned, released by avi_read_close
};

struct AVIndexEntry {
    int64_t pos;         // chunk header position
    int64_t timestamp;   // in the stream's time base; strictly ascending
    unsigned flags : 2;  // AVINDEX_KEYFRAME
    unsigned size : 30;
    int min_distance;
};

struct AVStream {
    int index;
    int id;
    AVCodecContext* codec;  // owned
    AVRational time_base;
    AVRational sample_aspect_ratio;
    void* priv_data;  // the reader's per-stream record, owned
    int discard;
    int64_t start_time;
    int64_t duration;
    AVIndexEntry* index_entries;  // owned
    int nb_index_entries;
    unsigned index_entries_allocated_size;  // bytes
    AVMetadata* metadata;
};

struct AVChapter {
    int id;
    AVRational time_base;
    int64_t start, end;
    char* title;
    AVMetadata* metadata;
};

// One open file. The caller provides it zero-filled and attaches the
// format's private record before use; it owns priv_data and pb.
struct AVFormatContext {
    void* priv_data;
    ByteIOContext* pb;
    unsigned nb_streams;
    AVStream* streams[MAX_STREAMS];
    char filename[1024];
    int64_t start_time;
    int64_t duration;
    int bit_rate;
    int flags;
    char title[512];
    unsigned nb_chapters;
    AVChapter** chapters;
    AVMetadata* metadata;
};

struct AVFormatParameters;

// The caller owns the packet record; data belongs to the packet and is
// released with av_destruct_packet (or destruct).
struct AVPacket {
    int64_t pts;
    int64_t dts;
    uint8_t* data;
    int size;
    int stream_index;
    int flags;
    int duration;
    void (*destruct)(AVPacket* pkt);
    void* priv;
    int64_t pos;
    int capacity;  // bytes allocated behind data, not counting 8 spare zero bytes
    int64_t convergence_duration;
};

// New stream with default codec parameters and time base 1/90000, appended
// to s; null when s has 48 streams or memory runs out. Owned by s.
AVStream* av_new_stream_avi(AVFormatContext* s, int id);
// Releases the streams and chapters, not priv_data, pb or s itself.
void avformat_free_context_avi(AVFormatContext* s);

void avcodec_get_context_defaults(AVCodecContext* ctx);
void avcodec_get_context_defaults2(AVCodecContext* ctx, int codec_type);
AVCodecContext* avcodec_alloc_context();  // null when out of memory; free with av_free
AVCodecContext* avcodec_alloc_context2(int codec_type);

void av_set_pts_info(AVStream* st, int pts_wrap_bits, int num, int den);

void av_init_packet(AVPacket* pkt);
void av_destruct_packet(AVPacket* pkt);
// Reads up to size bytes at the reader's position into pkt (buffer reused
// when large enough). The count read; 0 or negative when nothing was read
// (the packet then has no buffer), -12 when no buffer could be had.
int av_get_packet(ByteIOContext* pb, AVPacket* pkt, int size);
int av_new_packet(AVPacket* pkt, int size);

// Position of the new entry in st's index, or -1 (bad size, no memory).
int av_add_index_entry(AVStream* st, int64_t pos, int64_t timestamp, int size, int distance,
                       int flags);
// Entry position or -1.
int av_index_search_timestamp(AVStream* st, int64_t timestamp, int flags);

}  // namespace container
