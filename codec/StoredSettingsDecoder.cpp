#include "codec/StoredSettingsDecoder.h"

void StoredSettingsDecoder::setWidth(int w) {
    width = w;
}

void StoredSettingsDecoder::setHeight(int h) {
    height = h;
}

int StoredSettingsDecoder::setSycn(int s) {
    sync = s;
    return Reset();
}

int StoredSettingsDecoder::isI() {
    return iFrame;
}
