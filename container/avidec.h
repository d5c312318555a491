#pragma once

// The AVI reader: header and index (avi_read_header), packets forwards and
// the key-frame seek. Its private records live here so that the backward
// reader can reach them.
#include <cstdint>

#include "container/avformat.h"

namespace container {

constexpr int AVI_PACKET_SLOTS = 12;  // one per player channel

// Backward-reading state of one file, one slot per player channel. The
// current group is the chunks at positions [start_pos, end_pos) whose
// stream-0 timestamps lie in [start_ts, end_ts); start_ts -1 = none chosen.
struct AVIPacketInfo {
    int index[AVI_PACKET_SLOTS];  // stream 0's index entry of the group's key frame, -1 unknown
    int64_t start_pos[AVI_PACKET_SLOTS];
    int64_t end_pos[AVI_PACKET_SLOTS];
    int64_t start_ts[AVI_PACKET_SLOTS];
    int64_t end_ts[AVI_PACKET_SLOTS];
};

// Per-stream reader state (priv_data of each AVStream, zero-filled).
struct AVIStream {
    int64_t frame_offset;  // frames, or bytes for audio with a fixed sample size
    int remaining;         // bytes left of the current chunk
    int packet_size;       // current chunk's size plus its 8-byte header
    int scale;
    int rate;
    int sample_size;  // bytes per sample, 0 for video
    int64_t cum_len;  // running length while an index is loaded
    // Non-interleaved walk: position of the chunk being (or last) read and
    // the least timestamp the next entry may have, so that the walk always
    // moves past the entry it just read (both 0 after a seek).
    int64_t index_pos;
    int64_t index_next_ts;
    int prefix;  // last chunk-type suffix seen, e.g. 'd' << 8 | 'c'
    int prefix_count;
    uint32_t pal[256];
    int has_pal;  // a palette change waits to be appended to the next packet
};

// The reader's private record (priv_data of the AVFormatContext; the caller
// provides it zero-filled). Only the thread that reads the file touches it.
struct AVIContext {
    int64_t riff_end;
    int64_t movi_end;
    int64_t fsize;      // file size, or riff_end when unknown
    int64_t movi_list;  // idx1 offsets are relative to it
    int64_t last_pkt_pos;
    int index_loaded;
    int is_odml;
    int non_interleaved;  // packets must be taken in index order
    int stream_index;     // stream whose chunk is being read, -1 none
    void* dv_demux;       // always null
    AVIPacketInfo packet_info;
};

struct AVProbeData {
    const char* filename;
    unsigned char* buf;
    int buf_size;
};

int avi_probe(AVProbeData* p);

// Reads the headers up to the movi list and loads the index. 0, or -1 when
// the file is not accepted; the streams made so far stay in s either way
// (release them with avi_read_close and avformat_free_context_avi).
int avi_read_header(AVFormatContext* s, AVFormatParameters* ap);

// Next chunk as a packet: its size (> 0), AVERROR_EOF at the end, or another
// negative code; callers end the file on any negative result.
int avi_read_packet(AVFormatContext* s, AVPacket* pkt);

// Moves every stream to the key frame of stream_index nearest timestamp
// (ties to the later one) and records it in backward slot `slot`. 0, or -1
// with nothing changed (no such stream or slot, no key frame).
int avi_read_seek(AVFormatContext* s, int stream_index, int64_t timestamp, int flags, int slot);

// Releases the palettes; the streams go with avformat_free_context_avi.
int avi_read_close(AVFormatContext* s);

// Finds and reads idx1 after the movi list; the reader's position is kept.
// 0 when an idx1 was read, -1 otherwise.
int avi_load_idx1(AVFormatContext* s);

// Loads idx1 when no index was loaded yet (the header skips it on a reader
// that cannot seek) and marks the index loaded; later calls do nothing.
void avi_ensure_index(AVFormatContext* s);

// Places every stream on its index entry for `timestamp` (in source's time
// base) at or next to the chunk position `pos`, ready to read from there.
void avi_sync_streams(AVFormatContext* s, AVStream* source, int64_t timestamp, int64_t pos,
                      int flags);

// Stream number spelt by the first two characters of a chunk id, or 100
// when they are not both decimal digits.
int avi_stream_of_tag(unsigned tag);

// av_add_index_entry bounded by what the file can hold: at most one entry
// per 8 bytes of file, positions inside the file. The entry's position in
// the index, or -1 when refused.
int avi_add_index_entry(AVFormatContext* s, AVStream* st, int64_t pos, int64_t timestamp,
                        int64_t size, int flags);

// Opens path, reads its header and reports what it holds; any pointer may
// be null. 0, or a negative code when the file cannot be opened or read.
struct AVIFileInfo {
    int64_t start_time;
    int64_t duration;  // seconds
    int bit_rate;
    int video_width, video_height, video_bit_rate, video_time_base_den;
    int audio_bit_rate;
};
int avi_read_info(const char* path, AVIFileInfo* info, char* text, int text_size);

}  // namespace container
