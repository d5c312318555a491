#pragma once

// The FLV reader: header, script-tag metadata, packets forwards, the
// key-frame seek and backward reading one group of pictures at a time.
// Tags are addressed by the position of the previous-tag-size field in
// front of them ("tag start"); index entries and the backward slots carry
// it, while a packet's pos is where its payload was read. Timestamps are
// milliseconds (every stream's time base is 1/1000).
#include <cstdint>

#include "container/avformat.h"

namespace container {

constexpr int FLV_PACKET_SLOTS = 4;  // one per channel of a backward reader

// Backward-reading state of one file. The slot's current group is the tags
// at [start_pos, end_pos) whose packets' dts lie in [start_ts, end_ts);
// start_pos 0 = none yet, start_ts -1 = none chosen, end_ts INT64_MAX for
// the last group.
struct FLVPacketInfo {
    int64_t start_pos[FLV_PACKET_SLOTS];
    int64_t end_pos[FLV_PACKET_SLOTS];
    int64_t start_ts[FLV_PACKET_SLOTS];
    int64_t end_ts[FLV_PACKET_SLOTS];
};

// The reader's private record (priv_data of the AVFormatContext; the caller
// provides it zero-filled). Only the thread that reads the file touches it.
struct FLVContext {
    int wrong_dts;  // an H.264 tag had a negative composition offset: dts unknown from then on
    int searched_for_end;  // the duration probe at the file's end has run
    int64_t data_offset;   // start of the first tag
    int64_t tag_pos;       // start of the tag the reader began last
    FLVPacketInfo packet_info;
};

// New stream as av_new_stream_avi makes it, with time base 1/1000. Null
// when s has 48 streams or memory runs out. Owned by s.
AVStream* av_new_stream_flv(AVFormatContext* s, int id);
// Releases the streams and chapters, not priv_data, pb or s itself.
void avformat_free_context_flv(AVFormatContext* s);

// Reads the file header, makes the video (id 0) and audio (id 1) streams
// its flags announce and moves to the first tag. 0; -22 without a context,
// stream or private record; -5 when the header cannot be read; -12 when a
// stream cannot be made.
int flv_read_header(AVFormatContext* s, AVFormatParameters* ap);

// Next audio, video or data packet: its size (> 0). -32 at the end of the
// file, -5 when the payload (or a sequence header) is cut short, -12 when an
// extradata block cannot be had. A negative result leaves no packet.
int flv_read_packet(AVFormatContext* s, AVPacket* pkt);

// Releases the palettes; the streams go with avformat_free_context_flv. 0.
int flv_read_close(AVFormatContext* s);

// Places the reader on the video key frame nearest `timestamp` (ms) among
// the key frames at or before it and the first one after it (the first key
// frame of the file for a time before it), and records it in `slot`. Works
// from the end of the file and from inside a last tag cut short. 1 when a
// key frame was taken; 0 with the position kept when the timestamp is
// negative, the slot is out of range or no key frame is found. flags are
// not used.
int flv_seek_frame(AVFormatContext* s, int64_t timestamp, int flags, int slot);

// Backward reading on `slot` (0 to 3), groups newest first.
// Clears the slot, reads the header and one packet (metadata, duration) and
// places the slot on the last group. 0, the header's negative result, or
// -22 for a bad context or slot.
int flv_read_header_backward(AVFormatContext* s, AVFormatParameters* ap, int slot);
// Places the slot on the last group (its key frame to the end of the last
// whole tag) and the reader at its key frame. 0; -32 when no video key frame is found; -22 for
// a bad context or slot.
int flv_set_to_end_packet(AVFormatContext* s, int slot);
// 1 when the reader's position lies inside the slot's current group, else 0.
int flv_have_packet(AVFormatContext* s, int slot);
// Steps the slot back one group and places the reader at its key frame.
// 1, or 0 when there is no earlier group (or a bad context or slot).
int flv_find_backward_packet(AVFormatContext* s, int slot);
// Next packet of the current group whose dts lies inside the group; steps
// back a group when the current one is done. The packet's size, a negative
// code from flv_read_packet, -32 when there is no earlier group (also on
// every later call), -22 for a bad context or slot.
int flv_read_packet_backward(AVFormatContext* s, AVPacket* pkt, int slot);

// Opens filename, reads its header and first packet and reports what it
// holds: start time and duration (microseconds, when known and not 0), the
// summed bit rate, the title, and per stream in order the video sizes,
// bit rates and frame rates and the audio bit rates, each array filled up
// to its size. Any pointer may be null. Always 0.
int flv_read_info(const char* filename, int64_t* start_time, int64_t* duration, int* bit_rate,
                  char* text, int text_size, int* widths, int widths_size, int* heights,
                  int heights_size, int* video_bit_rates, int video_size, int* audio_bit_rates,
                  int audio_size, int* frame_rates, int frame_rates_size);

}  // namespace container
