// libavcodec may refuse a packet with "try again" until its frames are
// taken; such a packet must still be decoded. Every third packet is refused
// once here, by putting this program's own avcodec_send_packet in front of
// the library's, and the decoders must still match ffmpeg.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>

#include "CodecTestSupport.h"
#include "TestData.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
std::atomic<int> sends{0};
std::atomic<int> refused{0};
}  // namespace

extern "C" int avcodec_send_packet(AVCodecContext* context, const AVPacket* packet) {
    using Send = int (*)(AVCodecContext*, const AVPacket*);
    static const auto real = reinterpret_cast<Send>(dlsym(RTLD_NEXT, "avcodec_send_packet"));
    const int n = sends.fetch_add(1);
    if (packet && packet->size > 0 && n % 3 == 0) {
        refused.fetch_add(1);
        return AVERROR(EAGAIN);  // the next attempt is taken
    }
    return real(context, packet);
}

namespace {

TEST(SendRetry, RefusedVideoPacketsAreSentAgain) {
    refused.store(0);
    codectest::expectFramesMatchFfmpeg(testsupport::testDataFile("h264_bframes_aac.avi"));
    EXPECT_GT(refused.load(), 10);
}

TEST(SendRetry, RefusedAudioPacketsAreSentAgain) {
    refused.store(0);
    codectest::expectPcmMatchesFfmpeg(testsupport::testDataFile("h264_adpcm_ms.avi"),
                                      codectest::kMsAdpcm, true);
    EXPECT_GT(refused.load(), 3);
}

}  // namespace
