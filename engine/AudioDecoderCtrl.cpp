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
constexpr int kRetryMs = 2;
}  // namespace

AudioDecoderCtrl::AudioDecoderCtrl(Controller* controller, SoundBuffer* buffer, PacketQueue* queue,
                                   TimeSource* time)
    : Worker(time), controller(controller), buffer(buffer), queue(queue) {}

AudioDecoderCtrl::~AudioDecoderCtrl() {
    Wait();
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
    controller->audioDecoding.store(true);
    while (!g_bSuspend.load()) {
        if (!Pass(&packet)) {
            delay_ms(kRetryMs);
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
    if (info.dts == StreamMarker::End) {
        Drain();
    } else if (info.dts >= 0) {
        Decode(info, packet->data(), size);
    }
    return true;
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
    char* room = nullptr;
    for (;;) {
        if (g_bSuspend.load() || !buffer->ReaderRunning() || queue->IsReset()) {
            return;
        }
        {
            QueueLock<SoundBuffer> lock(*buffer);
            if (buffer->LockBuf(&room, bytes) >= bytes) {
                break;
            }
        }
        delay_ms(kRetryMs);
    }
    std::memcpy(room, pcm, size_t(bytes));
    QueueLock<SoundBuffer> lock(*buffer);
    buffer->UnlockBuf(bytes);
    buffer->SetEndDts(nextDts);
}
