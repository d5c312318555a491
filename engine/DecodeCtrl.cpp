#include "engine/DecodeCtrl.h"

#include <QDebug>
#include <algorithm>
#include <cstring>
#include <new>

#include "codec/ACH264Decoder.h"
#include "codec/I420Layout.h"
#include "engine/Controller.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/TimeSource.h"

namespace {
// Longest sleep of a wait that a wake ends.
constexpr qint64 kIdleMs = 100;
// Room for any picture up to this size without knowing it in advance.
constexpr int kDefaultWidth = 3840;
constexpr int kDefaultHeight = 2160;
// Pictures a backward group may hold, counted in frames of the current size.
constexpr qint64 kHeldFrames = 64;
// Packets whose pictures the decoder may still hold back.
constexpr size_t kMaxWaiting = 32;
}  // namespace

DecodeCtrl::DecodeCtrl(Controller* controller, int channel, TimeSource* time)
    : Worker(time),
      controller(controller),
      packetQueue(&controller->packetQueues[size_t(channel)]),
      frameQueue(&controller->frameQueues[size_t(channel)]),
      channel(channel) {}

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
            kIdleMs,
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
// after the decoder and the queues were emptied.
bool DecodeCtrl::Take(PacketInfo* info, int* size) {
    bool reset = false;
    bool got = false;
    {
        QueueLock<PacketQueue> lock(*packetQueue);
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
    {
        QueueLock<FrameQueue> lock(*frameQueue);
        frameQueue->Clear();
    }
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
    inputFrame(marker, nullptr, 0, 0);
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
    if (!EnsureFrameBuffer(info.width, info.height)) {
        return;
    }
    waitingDts.push_back(info.dts);
    if (waitingDts.size() > kMaxWaiting) {
        waitingDts.erase(backward ? std::max_element(waitingDts.begin(), waitingDts.end())
                                  : std::min_element(waitingDts.begin(), waitingDts.end()));
    }
    int key = 0;
    const unsigned char* picture =
        decoder->DecodeBuffer(channel, packet.data(), size, &key, info.width, info.height,
                              frame.get(), int(frameCapacity));
    if (picture) {
        HandOn(NextPictureDts(), picture, decoder->pictureWidth(), decoder->pictureHeight());
    }
}

// A backward group is complete when the next (earlier) one begins: its last
// pictures come out of the decoder, then the group goes newest first.
void DecodeCtrl::StartGroup() {
    Drain();
    ReleaseHeld();
}

void DecodeCtrl::Drain() {
    if (!decoder || !frame) {
        return;
    }
    int key = 0;
    while (const unsigned char* picture = decoder->Drain(&key, frame.get(), int(frameCapacity))) {
        HandOn(NextPictureDts(), picture, decoder->pictureWidth(), decoder->pictureHeight());
    }
    waitingDts.clear();
}

void DecodeCtrl::HandOn(qint64 dts, const unsigned char* pixels, int width, int height) {
    if (dts < 0) {
        return;  // a picture no packet accounts for
    }
    if (backward) {
        Hold(dts, pixels, width, height);
    } else {
        inputFrame(dts, pixels, width, height);
    }
}

void DecodeCtrl::Hold(qint64 dts, const unsigned char* pixels, int width, int height) {
    const qint64 bytes = I420Layout::ForSize(width, height).size;
    if (heldBytes + bytes > kHeldFrames * bytes) {
        qDebug() << "Decode" << channel << "group too long, dropped the picture at" << dts;
        return;
    }
    HeldFrame copy;
    copy.pixels.reset(new (std::nothrow) unsigned char[size_t(bytes)]);
    if (!copy.pixels) {
        qDebug() << "Decode" << channel << "no memory for the picture at" << dts;
        return;
    }
    std::memcpy(copy.pixels.get(), pixels, size_t(bytes));
    copy.width = width;
    copy.height = height;
    copy.dts = dts;
    held.push_back(std::move(copy));
    heldBytes += bytes;
}

void DecodeCtrl::ReleaseHeld() {
    while (!held.empty()) {
        const HeldFrame& newest = held.back();
        if (!inputFrame(newest.dts, newest.pixels.get(), newest.width, newest.height)) {
            break;  // reset or exit: the rest goes too
        }
        heldBytes -= I420Layout::ForSize(newest.width, newest.height).size;
        held.pop_back();
    }
    DropHeld();
}

void DecodeCtrl::DropHeld() {
    held.clear();
    heldBytes = 0;
}

bool DecodeCtrl::EnsureFrameBuffer(int width, int height) {
    const qint64 wanted =
        std::max({I420Layout::ForSize(width, height).size,
                  I420Layout::ForSize(kDefaultWidth, kDefaultHeight).size,
                  I420Layout::ForSize(decoder->pictureWidth(), decoder->pictureHeight()).size});
    if (wanted <= frameCapacity) {
        return true;
    }
    if (wanted > FrameQueue::kMaxFrameBytes) {
        qDebug() << "Decode" << channel << "frame of" << width << "x" << height << "too large";
        return false;
    }
    // Not value-initialised: pages never written are never touched.
    frame.reset(new (std::nothrow) unsigned char[size_t(wanted)]);
    frameCapacity = frame ? wanted : 0;
    return frame != nullptr;
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

bool DecodeCtrl::inputFrame(qint64 dts, const unsigned char* data, int width, int height) {
    for (;;) {
        QueueInput result;
        {
            QueueLock<FrameQueue> lock(*frameQueue);
            result = frameQueue->InputData(dts, data, width, height);
        }
        if (result == QueueInput::Accepted) {
            time->Wake(frameQueue);
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
            kIdleMs,
            [this] {
                QueueLock<FrameQueue> lock(*frameQueue);
                return frameQueue->Count() < FrameQueue::kCapacity || packetQueue->IsReset();
            },
            frameQueue);
    }
}
