#include "codec/ACCoder.h"

ACCoder::~ACCoder() = default;

int ACCoder::Reset() {
    return 1;
}

int ACCoder::SetListener(ACCoderListener* l) {
    listener = l;
    return 1;
}

int ACCoder::RemoveListener() {
    listener = nullptr;
    return 1;
}
