#pragma once

#include "codec/ACDecoder.h"

// A decoder that keeps what setWidth, setHeight and setSycn give it, as the
// video and ADPCM decoders do; whether decoding reads them is theirs to say.
class StoredSettingsDecoder : public virtual ACDecoder {
public:
    void setWidth(int w) override;
    void setHeight(int h) override;
    // Stores the value; returns Reset() of the final decoder.
    int setSycn(int sync) override;
    // Returns the I-frame flag, which nothing changes: 0.
    int isI() override;

protected:
    int width = 0;
    int height = 0;
    int sync = 15;
    int iFrame = 0;
};
