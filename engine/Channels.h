#pragma once

// The player's channels: one file, demux slot, decoder, frame queue, clip and
// recording-list slot each. Channel n is read backwards on the container's
// slot n, so the count is the container's slot count.
#include "container/avidec.h"

constexpr int kPlayerChannels = container::AVI_PACKET_SLOTS;
