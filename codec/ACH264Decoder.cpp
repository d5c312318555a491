#include "codec/ACH264Decoder.h"

#include <QDebug>
#include <QStringList>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

constexpr int kDebugBytes = 10;

// HEVC NAL unit types that may open a stream: VPS, SPS, PPS, access unit
// delimiter, prefix and suffix SEI.
constexpr int kHevcOpeners[] = {32, 33, 34, 35, 39, 40};

// Offset of the first NAL header after a start code, or -1.
int firstNalHeader(const unsigned char* data, int size) {
    for (int i = 0; i + 2 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
            return i + 3 < size ? i + 3 : -1;
        if (data[i] != 0)
            return -1;  // not a start code: not Annex B
    }
    return -1;
}

bool isHevcOpener(unsigned char b0, unsigned char b1) {
    // forbidden bit 0, layer 0, temporal id + 1 non-zero
    if ((b0 & 0x81) != 0 || (b1 & 0xF8) != 0 || (b1 & 0x07) == 0)
        return false;
    const int type = b0 >> 1;
    for (int t : kHevcOpeners) {
        if (t == type)
            return true;
    }
    return false;
}

QString typeLine(const unsigned char* data, int size) {
    QStringList bytes;
    for (int i = 0; i < size && i < kDebugBytes; ++i)
        bytes << QString::number(data[i], 16);
    return "Type=" + bytes.join(' ');
}

}  // namespace

ACH264Decoder::ACH264Decoder() : picture(av_frame_alloc()) {}

ACH264Decoder::~ACH264Decoder() {
    ACH264Decoder::Reset();
    session.Close();
    av_frame_free(&picture);
}

int ACH264Decoder::ChooseCodec(const unsigned char* data, int size) {
    const int at = data ? firstNalHeader(data, size) : -1;
    if (at >= 0 && at + 1 < size && isHevcOpener(data[at], data[at + 1]))
        return AV_CODEC_ID_HEVC;
    return AV_CODEC_ID_H264;
}

bool ACH264Decoder::open(const unsigned char* data, int size) {
    qDebug().noquote() << typeLine(data, size);
    const auto configure = [](AVCodecContext* c) {
        c->workaround_bugs = FF_BUG_MS;
        c->lowres = 0;
        c->thread_count = 1;
    };
    havePicture = false;
    return session.Open(ChooseCodec(data, size), configure) == CodecSession::OpenResult::Opened;
}

unsigned char* ACH264Decoder::DecodeBuffer(int, const unsigned char* data, int size, int* out,
                                           int w, int h, unsigned char* dst, int dstCapacity) {
    if (!dst || !Decode(data, size, w, h))
        return nullptr;
    return TakePicture(out, dst, dstCapacity);
}

bool ACH264Decoder::Decode(const unsigned char* data, int size, int w, int h) {
    if (!data || size <= 0 || !picture)
        return false;
    if (w != width || h != height || !session.IsOpen()) {
        if (!open(data, size))
            return false;
    }
    width = w;
    height = h;
    session.Decode(data, size, [this](AVFrame* f) {
        av_frame_unref(picture);
        av_frame_move_ref(picture, f);
        havePicture = true;
    });
    return havePicture;
}

int ACH264Decoder::ReadyWidth() const {
    return havePicture ? picture->width : 0;
}

int ACH264Decoder::ReadyHeight() const {
    return havePicture ? picture->height : 0;
}

unsigned char* ACH264Decoder::TakePicture(int* out, unsigned char* dst, int64_t dstCapacity) {
    if (!havePicture)
        return nullptr;
    havePicture = false;
    const bool written = writer.Write(picture, dst, dstCapacity);
    const int w = picture->width;
    const int h = picture->height;
    const int key = picture->key_frame;
    av_frame_unref(picture);
    if (!written) {
        qDebug() << "Picture of" << w << "x" << h << "does not fit" << dstCapacity << "bytes";
        return nullptr;
    }
    shownWidth = w;
    shownHeight = h;
    if (out)
        *out = key;
    return dst;
}

bool ACH264Decoder::DrainOne() {
    if (!picture || !session.DrainOne(picture))
        return false;
    havePicture = true;
    return true;
}

unsigned char* ACH264Decoder::Drain(int* out, unsigned char* dst, int dstCapacity) {
    if (!dst || !DrainOne())
        return nullptr;
    return TakePicture(out, dst, dstCapacity);
}

void ACH264Decoder::Flush() {
    session.Flush();
    av_frame_unref(picture);
    havePicture = false;
}

int ACH264Decoder::Reset() {
    return 1;
}

void ACH264Decoder::CodecInit() {}
