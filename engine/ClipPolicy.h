#pragma once

#include <QtGlobal>

#include "engine/Channels.h"

// The clip choice that the clip dialog stores and the cutter reads back: the
// three settings keys and the policy mask. Bit 0: only the channel of the
// selected window ("/CustomSaveDialog/SelectChannel", 0-based); otherwise bit
// n (1..12) chooses channel n; bit 31 belongs to the dialog (restore the
// choice next time) and means nothing to the cutter.
struct ClipPolicy {
    static constexpr const char* kSavePathKey = "/CustomSaveDialog/SavePath";
    static constexpr const char* kPolicyKey = "/CustomSaveDialog/Policy";
    static constexpr const char* kSelectChannelKey = "/CustomSaveDialog/SelectChannel";

    static constexpr quint32 kSelectedWindowBit = 1u;
    static constexpr quint32 kRememberBit = 1u << 31;
    static constexpr int kChannels = kPlayerChannels;

    // channel: 1..12.
    static constexpr quint32 ChannelBit(int channel) { return 1u << channel; }
};
