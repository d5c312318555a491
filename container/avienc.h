// AVI clip writer: one "RIFF" "AVI " with interleaved chunks, a legacy idx1
// index, OpenDML standard and super indexes, and further "RIFF" "AVIX" parts
// once a part passes 1 GiB. Counters known only at the end are patched in by
// the trailer.
#pragma once

#include <cstdint>

#include "container/avformat.h"

namespace container {

// One entry of a stream's chunk index in the current RIFF part.
struct AVIIentry {
    uint32_t flags;  // 0x10 = key frame
    uint32_t pos;    // chunk header position - movi_list
    uint32_t len;    // payload size
};

// Per-stream index of the current RIFF part, kept in blocks of
// AVI_INDEX_CLUSTER_SIZE entries that stay allocated across parts.
struct AVIIndex {
    int64_t indx_start;  // data start of the stream's super index placeholder
    int32_t entry;       // entries in the current RIFF part
    int32_t ents_allocated;
    AVIIentry** cluster;
};

constexpr int AVI_INDEX_CLUSTER_SIZE = 16384;
constexpr int AVI_MAX_RIFF_SIZE = 0x40000000;
// The super index placeholder has room for this many RIFF parts.
constexpr int AVI_MASTER_INDEX_SIZE = 256;

// The writer's private record (priv_data of a writing AVFormatContext). The
// caller provides it zero-filled; every field belongs to the thread that
// writes the clip.
struct AVIMuxContext {
    int64_t riff_start;
    int64_t movi_list;
    int64_t odml_list;
    int64_t frames_hdr_all;
    int64_t frames_hdr_strm[MAX_STREAMS];
    int64_t audio_strm_length[MAX_STREAMS];  // audio bytes written per stream
    int32_t riff_id;
    int32_t packet_count[MAX_STREAMS];
    AVIIndex indexes[MAX_STREAMS];
};

// Writes the file header up to the start of the "movi" list. Returns 0, or -1
// when a stream has an unsupported codec type, an audio format that cannot be
// written, or there are more streams than chunk ids can name.
int avi_write_header(AVFormatContext* s);

// Writes one chunk (stream_index, dts, flags, data, size of pkt). Returns 0,
// or -1 when no header was written, the stream does not exist or an index
// block cannot be allocated; nothing of the packet is written then.
int avi_write_packet(AVFormatContext* s, AVPacket* pkt);

// Finishes the clip (indexes, counters) and releases the index blocks.
// Returns 0, or the byte writer's first write error.
int avi_write_trailer(AVFormatContext* s);

// Gives up an unfinished clip: releases the index blocks and closes the byte
// writer (pb becomes null) without finishing the file. Returns 0 or the
// first write or close error.
int avi_write_abort(AVFormatContext* s);

}  // namespace container
