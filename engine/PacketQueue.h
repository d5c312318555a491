#pragma once

#include <QtGlobal>
#include <vector>

#include "codec/AudioStreamInfo.h"
#include "engine/SlotBuffer.h"
#include "engine/SlotRing.h"

// What a decoder needs to know of one compressed packet besides its bytes.
struct PacketInfo {
    int type = 0;           // the container's codec id
    bool key = false;       // the container marks it a key frame
    bool backward = false;  // read backwards: dts is duration - time
    int width = 0;          // video frame size; 0 for audio and markers
    int height = 0;         //
    qint64 dts = 0;         // ms, or a marker
    AudioStreamInfo audio;  // the audio stream's parameters; empty for video
};

// One compressed packet in the ring.
struct QueuedPacket {
    PacketInfo info;
    SlotBuffer buf;
    int size = 0;
    qint64 Bytes() const { return size; }
};

// Ring of compressed packets from the demux worker to one decode worker.
// Markers travel as entries with a marker timestamp and no payload. Every call
// but IsReset is made between Lock() and Unlock().
class PacketQueue : public SlotRing<QueuedPacket, 15> {
public:
    // Largest packet a consumer takes; larger ones are refused.
    static constexpr qint64 kMaxVideoPacketBytes = 7838208;
    static constexpr qint64 kMaxAudioPacketBytes = 2048;

    // maxPacketBytes: the largest payload the consumer can take.
    explicit PacketQueue(qint64 maxPacketBytes = kMaxVideoPacketBytes);

    // Stores a copy of the packet. Full when no slot is free; Refused when the
    // payload is larger than the consumer takes or cannot be stored.
    QueueInput InputData(const PacketInfo& info, const unsigned char* data, int size);
    QueueInput InputData(int type, qint64 dts, const unsigned char* data, int size, int width,
                         int height);
    // Takes the oldest packet: its payload into data (capacity bytes), the
    // other fields through the non-null pointers. False when empty, or when
    // the payload does not fit data (the packet then stays).
    bool OutputData(int* type, qint64* dts, unsigned char* data, qint64 capacity, int* size,
                    int* width, int* height);
    // Takes the oldest packet into *info and *data (grown to fit; its size is
    // the payload's only when *size is given). False when empty or out of memory.
    bool OutputData(PacketInfo* info, std::vector<unsigned char>* data, int* size);

    qint64 MaxPacketBytes() const { return maxPacketBytes; }

private:
    const qint64 maxPacketBytes;
};
