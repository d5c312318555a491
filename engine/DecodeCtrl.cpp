#include "engine/DecodeCtrl.h"

#include <QDebug>
#include <algorithm>
#include <mutex>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "codec/ACH264Decoder.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/TimeSource.h"

namespace {
// Waits end on their cause (a packet, room, a reset, exit), which every
// change wakes; this only bounds a wait nobody wakes.
constexpr qint64 kUntilWokenMs = 3600 * 1000;
// Pictures a backward group may hold, counted in frames of the current size.
constexpr qint64 kHeldFrames = 64;
// Packets whose pictures the decoder may still hold back.
constexpr size_t kMaxWaiting = 32;

// Every picture is a block of a few MB, allocated here and freed by the
// receiver hundreds of times a second. With glibc's sliding thresholds the
// freed pages go back to the system and each new picture faults them in
// again; fixed ones keep them in the heap for the next picture.
void KeepPictureMemory() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr int kMmapAboveBytes = 32 * 1024 * 1024;  // glibc's largest
        constexpr int kTrimAboveBytes = 256 * 1024 * 1024;
        mallopt(M_MMAP_THRESHOLD, kMmapAboveBytes);
        mallopt(M_TRIM_THRESHOLD, kTrimAboveBytes);
    });
#endif
}
}  // namespace

DecodeCtrl::DecodeCtrl(Controller* controller, int channel, TimeSource* time)
    : Worker(time),
      controller(controller),
      packetQueue(&controller->packetQueues[size_t(channel)]),
      frameQueue(&controller->frameQueues[size_t(channel)]),
      channel(channel) {
    KeepPictureMemory();
}

DecodeCtrl::~DecodeCtrl() {
    Wait();
}

void DecodeCtrl::run() {
    while (!g_bSuspend.load()) {
        RunPass();
    }
    DropHeld();
    decoder.reset();
    Finish(QStringLiteral("Decode exit: %1").arg(channel));
}

void DecodeCtrl::RunPass() {
    PacketInfo info;
    int size = 0;
    if (!Take(&info, &size)) {
        delay_ms(
            kUntilWokenMs,
            [this] {
                QueueLock<PacketQueue> lock(*packetQueue);
                return packetQueue->Count() > 0 || packetQueue->IsReset();
            },
            packetQueue);
        return;
    }
    if (StreamMarker::IsMarker(info.dts)) {
        OnMarker(info.dts);
    } else {
        OnPacket(info, size);
    }
}

// The reset is taken with the entry, so every entry after a Clear is decoded
// after the decoder and the queues were emptied. The frame queue's reset is
// raised before the packet queue's is lowered: the release worker, which
// checks both, never sees a moment without one and so never shows a stale
// frame against the clock of after the Clear.
bool DecodeCtrl::Take(PacketInfo* info, int* size) {
    bool reset = false;
    bool got = false;
    {
        QueueLock<PacketQueue> lock(*packetQueue);
        if (packetQueue->IsReset()) {
            QueueLock<FrameQueue> frameLock(*frameQueue);
            frameQueue->Clear();
        }
        reset = packetQueue->TakeReset();
        got = packetQueue->OutputData(info, &packet, size);
    }
    if (reset) {
        OnReset();
    }
    if (got) {
        time->Wake(&controller->packetQueues);  // room for the demux
    }
    return got;
}

void DecodeCtrl::OnReset() {
    time->InterruptWaits();  // the release worker may wait on the clock
    if (decoder) {
        decoder->Flush();
    }
    waitingDts.clear();
    DropHeld();
    lastDts = -1;
}

void DecodeCtrl::OnMarker(qint64 marker) {
    if (marker == StreamMarker::End) {
        Drain();  // the last pictures of the files
        ReleaseHeld();
    } else {
        if (decoder) {
            decoder->Flush();
        }
        waitingDts.clear();
        DropHeld();
    }
    if (marker == StreamMarker::Open && decoder) {
        decoder->setWidth(0);  // the next packet opens the codec afresh
        openWidth = openHeight = 0;
    }
    lastDts = -1;
    SlotBuffer none;
    inputFrame(marker, &none, 0, 0);
}

void DecodeCtrl::OnPacket(const PacketInfo& info, int size) {
    if (!decoder) {
        decoder.reset(new ACH264Decoder);
    }
    if (info.backward != backward) {
        DropHeld();
        backward = info.backward;
    }
    const bool sizeChanged =
        openWidth != 0 && (info.width != openWidth || info.height != openHeight);
    if (sizeChanged) {
        Drain();  // a re-open would lose the pictures held for the old size
    }
    if (backward && (info.key || (lastDts >= 0 && info.dts > lastDts))) {
        StartGroup();
    }
    lastDts = info.dts;
    openWidth = info.width;
    openHeight = info.height;
    waitingDts.push_back(info.dts);
    if (waitingDts.size() > kMaxWaiting) {
        waitingDts.erase(backward ? std::max_element(waitingDts.begin(), waitingDts.end())
                                  : std::min_element(waitingDts.begin(), waitingDts.end()));
    }
    if (decoder->Decode(packet.data(), size, info.width, info.height)) {
        EmitPicture();
    }
}

// A backward group is complete when the next (earlier) one begins: its last
// pictures come out of the decoder, then the group goes newest first.
void DecodeCtrl::StartGroup() {
    Drain();
    ReleaseHeld();
}

void DecodeCtrl::Drain() {
    if (!decoder) {
        return;
    }
    while (decoder->DrainOne()) {
        EmitPicture();
    }
    waitingDts.clear();
}

// The picture the decoder has ready goes into a block of exactly its size,
// which is handed on from here without another copy.
void DecodeCtrl::EmitPicture() {
    const int width = decoder->ReadyWidth();
    const int height = decoder->ReadyHeight();
    const qint64 bytes = FrameQueue::FrameBytes(width, height);
    SlotBuffer pixels;
    if (bytes > FrameQueue::kMaxFrameBytes || !pixels.Reserve(bytes)) {
        qDebug() << "width:" << width << " height:" << height << " " << double(bytes);
        qDebug() << 1;
        decoder->TakePicture(nullptr, nullptr, 0);  // drops it
        NextPictureDts();
        return;
    }
    int key = 0;
    if (!decoder->TakePicture(&key, pixels.Data(), pixels.Capacity())) {
        NextPictureDts();
        return;
    }
    HandOn(NextPictureDts(), std::move(pixels), width, height);
}

void DecodeCtrl::HandOn(qint64 dts, SlotBuffer pixels, int width, int height) {
    if (dts < 0) {
        return;  // a picture no packet accounts for
    }
    if (backward) {
        Hold(dts, std::move(pixels), width, height);
    } else {
        inputFrame(dts, &pixels, width, height);
    }
}

void DecodeCtrl::Hold(qint64 dts, SlotBuffer pixels, int width, int height) {
    const qint64 bytes = FrameQueue::FrameBytes(width, height);
    if (heldBytes + bytes > kHeldFrames * bytes) {
        qDebug() << "Decode" << channel << "group too long, dropped the picture at" << dts;
        return;
    }
    HeldFrame frame;
    frame.pixels = std::move(pixels);
    frame.width = width;
    frame.height = height;
    frame.dts = dts;
    held.push_back(std::move(frame));
    heldBytes += bytes;
}

void DecodeCtrl::ReleaseHeld() {
    while (!held.empty()) {
        HeldFrame& newest = held.back();
        const qint64 bytes = FrameQueue::FrameBytes(newest.width, newest.height);
        if (!inputFrame(newest.dts, &newest.pixels, newest.width, newest.height)) {
            break;  // reset or exit: the rest goes too
        }
        heldBytes -= bytes;
        held.pop_back();
    }
    DropHeld();
}

void DecodeCtrl::DropHeld() {
    held.clear();
    heldBytes = 0;
}

qint64 DecodeCtrl::NextPictureDts() {
    if (waitingDts.empty()) {
        return -1;
    }
    const auto at = backward ? std::max_element(waitingDts.begin(), waitingDts.end())
                             : std::min_element(waitingDts.begin(), waitingDts.end());
    const qint64 dts = *at;
    waitingDts.erase(at);
    return dts;
}

bool DecodeCtrl::inputFrame(qint64 dts, SlotBuffer* pixels, int width, int height) {
    for (;;) {
        QueueInput result;
        bool wasEmpty = false;
        {
            QueueLock<FrameQueue> lock(*frameQueue);
            wasEmpty = frameQueue->Count() == 0;
            result = frameQueue->InputFrame(dts, pixels, width, height);
        }
        if (result == QueueInput::Accepted) {
            if (wasEmpty) {
                time->Wake(frameQueue);  // the release worker waits only on an empty ring
            }
            return true;
        }
        if (result == QueueInput::Refused) {
            qDebug() << "Decode" << channel << "frame refused at" << dts;
            return false;
        }
        if (packetQueue->IsReset() || g_bSuspend.load()) {
            return false;
        }
        delay_ms(
            kUntilWokenMs,
            [this, width, height] {
                QueueLock<FrameQueue> lock(*frameQueue);
                return frameQueue->HasRoomOrAsk(width, height) || packetQueue->IsReset();
            },
            frameQueue);
    }
}
