#pragma once

#include <cstdint>

#include "codec/ACDecoder.h"
#include "codec/CodecSession.h"
#include "codec/I420Writer.h"
#include "codec/StoredSettingsDecoder.h"

struct AVFrame;

// H.264 or HEVC access units (Annex B) to I420 pictures in the caller's
// buffer. The codec is chosen from the first packet's NAL header and opened
// again whenever the caller's frame size changes. One decode thread per
// object (the channel's worker is the parallelism; frame threading would
// hold pictures back).
class ACH264Decoder : public virtual ACDecoder, public StoredSettingsDecoder {
public:
    ACH264Decoder();
    ~ACH264Decoder() override;

    // codecId is not used. width and height are the container's frame size;
    // a change re-opens the codec (a debug line "Type=..." with the packet's
    // first bytes is written on every open). See ACDecoder for the rest.
    unsigned char* DecodeBuffer(int codecId, const unsigned char* data, int size, int* out,
                                int width, int height, unsigned char* dst,
                                int dstCapacity) override;
    // setWidth and setHeight overwrite the size the codec was opened for
    // (0 makes the next packet re-open).
    // Returns 1; the codec stays open.
    int Reset() override;

    void Flush() override;
    unsigned char* Drain(int* out, unsigned char* dst, int dstCapacity) override;
    int pictureWidth() const override { return shownWidth; }
    int pictureHeight() const override { return shownHeight; }

    // The same work in two steps, so a caller can size the buffer for the
    // picture before it is written: Decode sends one packet (as DecodeBuffer)
    // and DrainOne asks for a picture held back for the end of the stream;
    // both are true when a picture is ready, whose size Ready* then give.
    // TakePicture writes it into dst (as DecodeBuffer does) and returns dst,
    // or null when none is ready or it does not fit.
    bool Decode(const unsigned char* data, int size, int width, int height);
    bool DrainOne();
    int ReadyWidth() const;
    int ReadyHeight() const;
    unsigned char* TakePicture(int* out, unsigned char* dst, int64_t dstCapacity);

    // Kept for the interface's users; does nothing.
    void CodecInit();

    // libavcodec id of the decoder for a packet: HEVC when its first NAL
    // header (after a three- or four-byte start code) is an HEVC parameter
    // set, delimiter or SEI, H.264 otherwise.
    static int ChooseCodec(const unsigned char* data, int size);

private:
    bool open(const unsigned char* data, int size);

    // width and height: the size the codec was opened for; 0 x 0 forces an open.
    int shownWidth = 0;  // size of the last picture handed out
    int shownHeight = 0;
    CodecSession session;
    AVFrame* picture = nullptr;  // newest decoded picture not yet handed out
    bool havePicture = false;
    I420Writer writer;
};
