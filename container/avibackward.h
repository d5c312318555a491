// Backward reading of an AVI file, one group of pictures at a time from the
// last to the first. Each open file keeps one slot per player channel in
// its AVIContext (packet_info); the forward key-frame seek writes the same
// slot, which is how a change of direction continues from the current place.
#pragma once

#include "container/avidec.h"

namespace container {

// Reads the header (avi_read_header) and places the slot on the last group
// of pictures. A file without an index is read through once to build one.
// 0, the header's negative result, or -22 for a bad context or slot.
int avi_read_header_backward(AVFormatContext* s, AVFormatParameters* ap, int slot);

// Next packet of the current group whose time lies inside the group; steps
// back a group when the current one is done. The packet's size, AVERROR_EOF
// or another negative code from the forward reader, -32 when there is no
// earlier group (also on every later call, and at once when stream 0 is
// missing or not video), -22 for a bad context or slot.
int avi_read_packet_backward(AVFormatContext* s, AVPacket* pkt, int slot);

// Steps the slot back one group and places the reader at its key frame.
// 0, or -1 when there is no earlier group.
int avi_find_backward_packet(AVFormatContext* s, int slot);

// Places the slot on the last group. 0, or -1 (nothing changed) when
// stream 0 is missing, not video or has no index entries.
int avi_set_to_end_packet(AVFormatContext* s, int slot);

// 1 when the reader's position lies inside the slot's current group, else 0.
int avi_have_packet(AVFormatContext* s, int slot);

}  // namespace container
