#include "codec/CodecSession.h"

#include <QMutexLocker>

#include <cstring>

#include "codec/FFmpegLock.h"
#include "codec/LibavLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// A refused send is retried once after the decoder's frames were taken;
// libavcodec guarantees that is enough.
constexpr int kSendAttempts = 2;

}  // namespace

CodecSession::CodecSession(bool lock) : lockCalls(lock) {}

CodecSession::~CodecSession() {
    Close();
    av_packet_free(&packet);
    av_frame_free(&scratch);
}

CodecSession::OpenResult CodecSession::Open(int codecId, const Configure& configure) {
    LibavLog::Install();
    QMutexLocker lock(FFmpegLock);
    avcodec_free_context(&context);
    draining = false;
    const AVCodec* codec = avcodec_find_decoder(AVCodecID(codecId));
    if (!codec)
        return OpenResult::NotFound;
    if ((!packet && !(packet = av_packet_alloc())) || (!scratch && !(scratch = av_frame_alloc())))
        return OpenResult::OpenFailed;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c)
        return OpenResult::OpenFailed;
    if (configure)
        configure(c);
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return OpenResult::OpenFailed;
    }
    context = c;
    return OpenResult::Opened;
}

void CodecSession::Close() {
    avcodec_free_context(&context);
    draining = false;
}

int CodecSession::send(const AVPacket* p) {
    if (!lockCalls)
        return avcodec_send_packet(context, p);
    QMutexLocker lock(FFmpegLock);
    return avcodec_send_packet(context, p);
}

int CodecSession::receive(AVFrame* f) {
    if (!lockCalls)
        return avcodec_receive_frame(context, f);
    QMutexLocker lock(FFmpegLock);
    return avcodec_receive_frame(context, f);
}

void CodecSession::receiveAll(const FrameSink& sink) {
    while (receive(scratch) == 0) {
        sink(scratch);
        av_frame_unref(scratch);
    }
}

bool CodecSession::Decode(const unsigned char* data, int size, const FrameSink& sink) {
    if (!context || !data || size <= 0)
        return false;
    if (draining)
        Flush();
    if (av_new_packet(packet, size) < 0)
        return false;
    std::memcpy(packet->data, data, size_t(size));
    int result = AVERROR(EAGAIN);
    for (int attempt = 0; attempt < kSendAttempts && result == AVERROR(EAGAIN); ++attempt) {
        result = send(packet);
        receiveAll(sink);
    }
    av_packet_unref(packet);
    return result >= 0;
}

bool CodecSession::DrainOne(AVFrame* frame) {
    if (!context)
        return false;
    if (!draining) {
        draining = true;
        send(nullptr);
    }
    if (receive(frame) == 0)
        return true;
    Flush();
    return false;
}

void CodecSession::Flush() {
    if (context)
        avcodec_flush_buffers(context);
    draining = false;
}
