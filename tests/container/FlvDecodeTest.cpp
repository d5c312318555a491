// Our FLV packets decode through the player's decoders to ffmpeg's pictures
// (framemd5) and sound. Container records stay out of this file: the
// packets come through FlvFixtures.h.
#include <gtest/gtest.h>

#include <sstream>

#include "CodecTestSupport.h"
#include "Command.h"
#include "FlvFixtures.h"
#include "codec/ACH264Decoder.h"

using namespace codectest;

class FlvDecode : public ::testing::TestWithParam<const char*> {};

TEST_P(FlvDecode, PicturesAndSoundMatchFfmpeg) {
    const std::string path = containertest::flvFixture(GetParam());
    const containertest::FlvPayloads got = containertest::readFlvPayloads(path);
    ASSERT_FALSE(got.video.empty() && got.aac.empty());
    if (!got.video.empty()) {
        ACH264Decoder decoder;
        std::istringstream lines(testsupport::ffmpeg({"-i", path, "-map", "0:v:0", "-fps_mode",
                                                      "passthrough", "-f", "framemd5", "-"})
                                     .out);
        std::vector<std::string> theirs;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line[0] != '#')
                theirs.push_back(line.substr(line.find_last_of(", ") + 1));
        }
        EXPECT_EQ(decodeVideo(decoder, got.video, probeVideo(path)).md5s(), theirs);
    }
    if (!got.aac.empty()) {
        auto decoder = makeAudioDecoder(kAac);
        decoder->setStreamInfo(probeAudio(path));
        EXPECT_TRUE(decodeAudio(*decoder, kAac, got.aac) ==
                    ffmpegOutput(path, {"-map", "0:a:0", "-ac", "1", "-f", "s16le"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, FlvDecode,
                         ::testing::Values("h264_aac", "h264_mp3", "video_keyframe_index",
                                           "aac_only", "no_metadata"));
