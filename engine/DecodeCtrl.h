#pragma once

#include <QtGlobal>
#include <memory>
#include <vector>

#include "engine/PacketQueue.h"
#include "engine/SlotBuffer.h"
#include "engine/Worker.h"

class ACH264Decoder;
class Controller;
class FrameQueue;

// The video decode worker of one channel: packets from the channel's packet
// queue are decoded into I420 pictures for its frame queue, markers pass in
// order. Backwards it holds each group of pictures and hands it on newest
// first once the group is complete. Each picture is decoded into a block of
// its own that travels by hand-over (ring, release worker, receiver) without
// another copy.
class DecodeCtrl : public Worker {
    Q_OBJECT
public:
    // Works on the channel's packet and frame queues of controller.
    DecodeCtrl(Controller* controller, int channel, TimeSource* time);
    ~DecodeCtrl() override;

protected:
    void run() override;

private:
    struct HeldFrame {
        SlotBuffer pixels;
        int width = 0;
        int height = 0;
        qint64 dts = 0;
    };

    void RunPass();
    bool Take(PacketInfo* info, int* size);
    void OnReset();
    void OnMarker(qint64 marker);
    void OnPacket(const PacketInfo& info, int size);
    void StartGroup();
    void Drain();
    void EmitPicture();
    void HandOn(qint64 dts, SlotBuffer pixels, int width, int height);
    void Hold(qint64 dts, SlotBuffer pixels, int width, int height);
    void ReleaseHeld();
    void DropHeld();
    qint64 NextPictureDts();
    // Hands a frame (its pixels moved in, none for a marker) to the frame
    // ring, waiting for room; false when it was dropped (reset, exit, refused).
    bool inputFrame(qint64 dts, SlotBuffer* pixels, int width, int height);

    Controller* const controller;
    PacketQueue* const packetQueue;
    FrameQueue* const frameQueue;
    const int channel;

    // Decode thread only.
    std::unique_ptr<ACH264Decoder> decoder;
    std::vector<unsigned char> packet;
    int openWidth = 0;  // packet size the decoder was last given; 0: none
    int openHeight = 0;
    bool backward = false;  // direction of the packets now flowing
    qint64 lastDts = -1;    // of the previous packet since the last reset
    // Timestamps of packets whose pictures have not come out yet; a picture
    // takes the earliest (backwards: the latest), so reordering keeps times
    // rising in display order.
    std::vector<qint64> waitingDts;
    std::vector<HeldFrame> held;  // backwards: the current group, oldest first
    qint64 heldBytes = 0;
};
