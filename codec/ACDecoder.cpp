#include "codec/ACDecoder.h"

ACDecoder::~ACDecoder() = default;

unsigned char* ACDecoder::DecodeBuffer(int, const unsigned char*, int, int*, int, int,
                                       unsigned char*, int) {
    return nullptr;
}

void ACDecoder::setWidth(int) {}

void ACDecoder::setHeight(int) {}

int ACDecoder::Reset() {
    return 0;
}

int ACDecoder::setSycn(int) {
    return Reset();
}

int ACDecoder::isI() {
    return 0;
}

void ACDecoder::Flush() {}

unsigned char* ACDecoder::Drain(int*, unsigned char*, int) {
    return nullptr;
}

int ACDecoder::pictureWidth() const {
    return 0;
}

int ACDecoder::pictureHeight() const {
    return 0;
}

void ACDecoder::setOutputRate(int) {}

void ACDecoder::setStreamInfo(const AudioStreamInfo&) {}
