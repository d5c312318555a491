#pragma once

#include <QtGlobal>
#include <atomic>

#include "engine/SlotBuffer.h"
#include "engine/Worker.h"

class Controller;
class FrameQueue;
class PacketQueue;

// The video release worker of one channel: takes decoded frames from the
// channel's frame queue and signals each once the playback clock has reached
// its timestamp; a marker empties the cell.
class VideoCtrl : public Worker {
    Q_OBJECT
public:
    // Frames signalled and not yet reported consumed, beyond which the worker
    // waits for its receiver.
    static constexpr int kMaxPosted = 3;

    VideoCtrl(Controller* controller, int channel, TimeSource* time);
    ~VideoCtrl() override;

    // Any thread: the receiver of Signal_show has taken one frame (call
    // once per non-null frame, once it has taken or freed it).
    void FrameConsumed();

signals:
    // pYV12: a malloc'ed I420 frame (codec/I420Layout) that belongs to the
    // receiver, which frees it with free() (at once or when it is done with
    // it) and calls FrameConsumed(); null with 0 x 0 empties the cell.
    // Emitted in this worker's thread.
    void Signal_show(uchar* pYV12, int width, int height);

protected:
    void run() override;

private:
    void RunPass();
    void TakeNext();
    void WaitForClock();
    bool Superseded() const;
    void Show();
    bool WaitForReceiver();
    bool Receiving() const;

    Controller* const controller;
    FrameQueue* const frameQueue;
    PacketQueue* const packetQueue;  // only its reset flag is read
    const int channel;

    // Release thread only.
    SlotBuffer frame;     // the pending frame's pixels, taken from the ring
    qint64 pending = -1;  // timestamp of the frame in `frame`; -1 none
    int width = 0;
    int height = 0;
    qint64 lastShown = -1;

    // Raised here, lowered by the receiver's thread.
    std::atomic<int> posted{0};
};
