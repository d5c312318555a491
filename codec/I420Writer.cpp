#include "codec/I420Writer.h"

#include "codec/I420Layout.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

bool isPlain420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

// libswscale takes gray input as full range unless told; the frame knows.
bool I420Writer::useFrameRange(const AVFrame* frame) {
    if (frame->color_range == AVCOL_RANGE_UNSPECIFIED)
        return true;
    int* inverse = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(scaler, &inverse, &srcRange, &table, &dstRange, &brightness,
                                 &contrast, &saturation) < 0)
        return false;
    const int range = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    if (range == srcRange)
        return true;
    return sws_setColorspaceDetails(scaler, inverse, range, table, dstRange, brightness, contrast,
                                    saturation) >= 0;
}

I420Writer::~I420Writer() {
    sws_freeContext(scaler);
}

bool I420Writer::Write(const AVFrame* frame, unsigned char* dst, int64_t capacity) {
    if (!frame || !dst)
        return false;
    const I420Layout l = I420Layout::ForSize(frame->width, frame->height);
    if (l.size == 0 || l.size > capacity)
        return false;
    uint8_t* planes[4] = {dst, dst + l.uOffset, dst + l.vOffset, nullptr};
    int lines[4] = {l.width, l.chromaWidth, l.chromaWidth, 0};
    if (isPlain420(frame->format)) {
        av_image_copy(planes, lines, const_cast<const uint8_t**>(frame->data), frame->linesize,
                      AV_PIX_FMT_YUV420P, l.width, l.height);
        return true;
    }
    // Bicubic, as the ffmpeg tool converts by default, so pictures match its output.
    scaler =
        sws_getCachedContext(scaler, l.width, l.height, AVPixelFormat(frame->format), l.width,
                             l.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler || !useFrameRange(frame))
        return false;
    return sws_scale(scaler, frame->data, frame->linesize, 0, l.height, planes, lines) == l.height;
}
