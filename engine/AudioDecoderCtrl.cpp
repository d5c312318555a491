#include "engine/AudioDecoderCtrl.h"

#include <QDebug>
#include <cstring>
#include <vector>

#include "codec/ACAACDecoder.h"
#include "codec/ACADPCMDecoder.h"
#include "container/avformat.h"
#include "engine/Controller.h"
#include "engine/PacketQueue.h"
#include "engine/QueueLock.h"
#include "engine/SoundBuffer.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {
// Every wait ends on a wake; this only bounds the cost of one that was missed.
constexpr qint64 kWakeMissMs = 1000;
}  // namespace

AudioDecoderCtrl::AudioDecoderCtrl(Controller* controller, SoundBuffer* buffer, PacketQueue* queue,
                                   TimeSource* time)
    : Worker(time), controller(controller), buffer(buffer), queue(queue) {
    buffer->SetRoomListener([time, buffer] { time->Wake(buffer); });
}

AudioDecoderCtrl::~AudioDecoderCtrl() {
    Wait();
    buffer->SetRoomListener({});
}

void AudioDecoderCtrl::Start() {
    controller->audioDecoding.store(true);
    Worker::Start();
}

std::unique_ptr<ACDecoder> AudioDecoderCtrl::MakeDecoder(int codecId) {
    switch (codecId) {
        case container::CODEC_ID_ADPCM_MS:
        case container::CODEC_ID_ADPCM_SWF:
            return std::make_unique<ACADPCMDecoder>();
        case container::CODEC_ID_AAC:
            return std::make_unique<ACAACDecoder>();
        default:
            return nullptr;
    }
}

void AudioDecoderCtrl::run() {
    std::vector<unsigned char> packet(size_t(queue->MaxPacketBytes()));
    while (!g_bSuspend.load()) {
        if (!Pass(&packet)) {
            WaitForPacket();
        }
    }
    controller->audioDecoding.store(false);
    Finish(QStringLiteral("AudioDecode exit"));
}

bool AudioDecoderCtrl::Pass(std::vector<unsigned char>* packet) {
    PacketInfo& info = taken;
    int size = 0;
    bool reset = false;
    bool got = false;
    {
        QueueLock<PacketQueue> lock(*queue);
        reset = queue->TakeReset();
        got = queue->OutputData(&info, packet, &size);
    }
    if (reset) {
        Restart();
    }
    if (!got) {
        return reset;
    }
    time->Wake(&controller->packetQueues);  // room for the demux
    if (info.dts == StreamMarker::End) {
        Drain();
    } else if (info.dts >= 0) {
        Decode(info, packet->data(), size);
    }
    return true;
}

void AudioDecoderCtrl::WaitForPacket() {
    delay_ms(
        kWakeMissMs,
        [this] {
            QueueLock<PacketQueue> lock(*queue);
            return queue->Count() > 0 || queue->IsReset();
        },
        queue);
}

void AudioDecoderCtrl::Restart() {
    {
        QueueLock<SoundBuffer> lock(*buffer);
        buffer->Clear();
    }
    if (decoder) {
        decoder->Flush();
    }
    nextDts = 0;
}

void AudioDecoderCtrl::Decode(const PacketInfo& info, const unsigned char* data, int size) {
    const int codecId = info.type;
    if (codecId != decoderId || !decoder) {
        Drain();
        decoder = MakeDecoder(codecId);
        decoderId = codecId;
    }
    if (!decoder) {
        return;
    }
    // Raw AAC and ADPCM need the stream's rate, channels and set-up bytes.
    decoder->setStreamInfo(info.audio);
    decoderRate = controller->AudioSampleRate();
    decoder->setOutputRate(decoderRate);
    int bytes = 0;
    const unsigned char* pcm = decoder->DecodeBuffer(codecId, data, size, &bytes, 0, 0, nullptr, 0);
    if (pcm && bytes > 0) {
        Write(pcm, bytes, info.dts, decoderRate);
    }
}

void AudioDecoderCtrl::Drain() {
    if (!decoder) {
        return;
    }
    int bytes = 0;
    while (const unsigned char* pcm = decoder->Drain(&bytes, nullptr, 0)) {
        Write(pcm, bytes, nextDts, decoderRate);
    }
}

void AudioDecoderCtrl::Write(const unsigned char* pcm, qint64 bytes, qint64 dts, int rate) {
    nextDts = dts + SoundBuffer::DurationMs(bytes, rate);
    if (!SoundBuffer::Fits(bytes)) {
        qDebug() << "Audio block larger than the sound buffer dropped:" << bytes;
        return;
    }
    const auto giveUp = [this] { return !buffer->ReaderRunning() || queue->IsReset(); };
    char* room = nullptr;
    while (!room) {
        if (g_bSuspend.load() || giveUp()) {
            return;
        }
        room = Room(bytes);
        // A slow output only delays the block: the sound plays late, whole.
        if (!room) {
            delay_ms(
                kWakeMissMs, [&] { return giveUp() || (room = Room(bytes)) != nullptr; }, buffer);
        }
    }
    std::memcpy(room, pcm, size_t(bytes));
    {
        QueueLock<SoundBuffer> lock(*buffer);
        buffer->UnlockBuf(bytes);
        buffer->SetEndDts(nextDts);
    }
    buffer->AfterWrite();
}

char* AudioDecoderCtrl::Room(qint64 bytes) {
    char* room = nullptr;
    QueueLock<SoundBuffer> lock(*buffer);
    return buffer->LockBuf(&room, bytes) >= bytes ? room : nullptr;
}
