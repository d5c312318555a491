#pragma once

#include "codec/ACCoder.h"
#include "codec/AudioStreamInfo.h"

// One-call decoder interface used by the decode workers. Every operation has
// a harmless default so that video and audio decoders override only their own.
class ACDecoder : public virtual ACCoder {
public:
    ~ACDecoder() override;

    // Decodes one packet (data, size bytes; never modified, need not be padded).
    // Video: dst receives an I420 picture of at most dstCapacity bytes and *out
    // its key-frame flag; the result is dst when a picture was written, null
    // when none came out (the packet is still consumed) or on failure, and
    // then dst and *out are untouched. Audio: dst and dstCapacity are unused;
    // the result is PCM owned by the decoder, valid until its next call, with
    // its byte count in *out, or null when nothing was produced.
    // Returns null here.
    virtual unsigned char* DecodeBuffer(int codecId, const unsigned char* data, int size, int* out,
                                        int width, int height, unsigned char* dst, int dstCapacity);
    virtual void setWidth(int width);
    virtual void setHeight(int height);
    // Returns 0.
    int Reset() override;
    // Returns Reset().
    virtual int setSycn(int sync);
    // Returns 0.
    virtual int isI();

    // Drops what the decoder holds from earlier packets (after a seek).
    virtual void Flush();
    // End of stream: hands out the pictures still held back, one per call, as
    // DecodeBuffer does; null when none is left, after which the decoder takes
    // new packets again. Returns null here.
    virtual unsigned char* Drain(int* out, unsigned char* dst, int dstCapacity);
    // Size of the last picture handed out; 0 here.
    virtual int pictureWidth() const;
    virtual int pictureHeight() const;
    // Audio: rate of the PCM handed out, the rate the output was opened with;
    // 0 keeps the stream's own rate. Does nothing here.
    virtual void setOutputRate(int hz);
    // Audio: the stream's parameters, used from the next open on (a change
    // re-opens). Does nothing here.
    virtual void setStreamInfo(const AudioStreamInfo& info);
};
