// Rules of the video decoder that the ffmpeg comparison does not reach.
#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "TestData.h"
#include "codec/ACH264Decoder.h"
#include "codec/I420Layout.h"

using namespace codectest;
using namespace testsupport;

namespace {

constexpr int kH264 = 27;
constexpr int kHevc = 173;
constexpr int kFrameBytes = 320 * 240 * 3 / 2;

class VideoDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        h264 = readPackets(testDataFile("h264_aac.avi"), "v:0");
        ASSERT_FALSE(h264.empty());
    }

    unsigned char* decode(ACH264Decoder& d, const Bytes& p, int w = 320, int h = 240) {
        return d.DecodeBuffer(0, p.data(), int(p.size()), &key, w, h, dst.data(), int(dst.size()));
    }

    std::vector<Bytes> h264;
    Bytes dst = Bytes(kFrameBytes);
    int key = -7;
};

TEST_F(VideoDecoder, OpensOnFirstPacketAndOnSizeChangeOnly) {
    DebugCapture debug;
    ACH264Decoder d;
    EXPECT_EQ(decode(d, h264[0]), dst.data());
    EXPECT_EQ(key, 1);
    EXPECT_EQ(debug.lines("Type="), QStringList{"Type=0 0 0 1 67 64 0 d ac b4"});
    EXPECT_EQ(decode(d, h264[1]), dst.data());
    EXPECT_EQ(key, 0);
    // Reset leaves the codec open.
    EXPECT_EQ(d.Reset(), 1);
    EXPECT_EQ(decode(d, h264[2]), dst.data());
    EXPECT_EQ(debug.lines("Type=").size(), 1);
    // A new size from the container re-opens; the picture keeps its own size.
    decode(d, h264[25], 320, 256);
    EXPECT_EQ(debug.lines("Type=").size(), 2);
    EXPECT_EQ(d.pictureWidth(), 320);
    EXPECT_EQ(d.pictureHeight(), 240);
    // setWidth(0) forces the next packet to re-open, setWidth to the same size does not.
    d.setWidth(320);
    decode(d, h264[26], 320, 256);
    EXPECT_EQ(debug.lines("Type=").size(), 2);
    d.setWidth(0);
    decode(d, h264[50], 320, 256);
    EXPECT_EQ(debug.lines("Type=").size(), 3);
}

TEST(VideoCodecChoice, FromTheFirstNalHeader) {
    const std::pair<Bytes, int> cases[] = {
        {{0, 0, 0, 1, 0x40, 0x01, 0x0c}, kHevc},     // VPS
        {{0, 0, 1, 0x40, 0x01, 0x0c}, kHevc},        // three-byte start code
        {{0, 0, 0, 1, 0x46, 0x01, 0x50}, kHevc},     // access unit delimiter
        {{0, 0, 0, 1, 0x42, 0x01, 0x01}, kHevc},     // SPS
        {{0, 0, 0, 1, 0x4e, 0x01, 0x05}, kHevc},     // SEI
        {{0, 0, 0, 1, 0x67, 0x64, 0x00}, kH264},     // SPS
        {{0, 0, 0, 1, 0x09, 0xf0}, kH264},           // access unit delimiter
        {{0, 0, 0, 1, 0x40}, kH264},                 // too short for a NAL header
        {{0x40, 0x01, 0, 0, 1, 0x40, 0x01}, kH264},  // not Annex B
        {{0, 0, 0, 1, 0x40, 0x09}, kH264},           // layer 1: not a base-layer opener
    };
    for (const auto& [bytes, codec] : cases)
        EXPECT_EQ(ACH264Decoder::ChooseCodec(bytes.data(), int(bytes.size())), codec);
    EXPECT_EQ(ACH264Decoder::ChooseCodec(nullptr, 0), kH264);
}

TEST_F(VideoDecoder, HevcStartingWithAnAccessUnitDelimiterDecodes) {
    const Bytes hevc = readPackets(testDataFile("hevc_adpcm_ms.avi"), "v:0").at(0);
    for (const Bytes& startCode : {Bytes{0, 0, 0, 1}, Bytes{0, 0, 1}}) {
        // the delimiter, then the first packet with its own start code as asked
        Bytes first{0, 0, 0, 1, 0x46, 0x01, 0x50};
        first.insert(first.end(), startCode.begin(), startCode.end());
        first.insert(first.end(), hevc.begin() + 4, hevc.end());
        ACH264Decoder withAud, plain;
        ASSERT_EQ(decode(withAud, first), dst.data());
        const std::string sum = md5Hex(dst.data(), dst.size());
        ASSERT_EQ(decode(plain, hevc), dst.data());
        EXPECT_EQ(sum, md5Hex(dst.data(), dst.size()));
    }
}

TEST_F(VideoDecoder, NullOrEmptyInputTouchesNothing) {
    DebugCapture debug;
    ACH264Decoder d;
    const Bytes& p = h264[0];
    EXPECT_EQ(d.DecodeBuffer(0, nullptr, 100, &key, 320, 240, dst.data(), kFrameBytes), nullptr);
    EXPECT_EQ(d.DecodeBuffer(0, p.data(), int(p.size()), &key, 320, 240, nullptr, 0), nullptr);
    EXPECT_EQ(d.DecodeBuffer(0, p.data(), 0, &key, 320, 240, dst.data(), kFrameBytes), nullptr);
    EXPECT_EQ(d.Drain(&key, dst.data(), kFrameBytes), nullptr);
    EXPECT_TRUE(debug.lines("Type=").isEmpty());
    EXPECT_EQ(key, -7);
}

TEST_F(VideoDecoder, NoPictureOrNoRoomLeavesBufferAndFlagAlone) {
    // With B-frames the decoder holds the first picture back; a picture
    // larger than the caller's capacity is not written.
    const Bytes held = readPackets(testDataFile("h264_bframes_aac.avi"), "v:0").at(0);
    for (const auto& [packet, capacity] :
         {std::pair{held, kFrameBytes}, {h264[0], kFrameBytes - 1}}) {
        ACH264Decoder d;
        std::fill(dst.begin(), dst.end(), 0xab);
        EXPECT_EQ(d.DecodeBuffer(0, packet.data(), int(packet.size()), &key, 320, 240, dst.data(),
                                 capacity),
                  nullptr);
        EXPECT_EQ(key, -7);
        EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](unsigned char c) { return c == 0xab; }));
    }
}

// Decoding in two steps (the size known before the picture is written) gives
// the pictures of the one-call path, byte for byte, also those drained at the
// end of a stream with B-frames.
TEST_F(VideoDecoder, TwoStepsGiveTheOneCallPictures) {
    for (const char* file : {"h264_aac.avi", "h264_bframes_aac.avi"}) {
        const std::vector<Bytes> packets = readPackets(testDataFile(file), "v:0");
        ACH264Decoder oneCall;
        ACH264Decoder twoSteps;
        std::vector<Bytes> expected;
        std::vector<Bytes> got;
        const auto take = [&] {
            EXPECT_EQ(twoSteps.ReadyWidth(), 320);
            EXPECT_EQ(twoSteps.ReadyHeight(), 240);
            Bytes picture(size_t(I420Layout::ForSize(320, 240).size));
            int keyFlag = -1;
            EXPECT_EQ(twoSteps.TakePicture(&keyFlag, picture.data(), int64_t(picture.size())),
                      picture.data());
            EXPECT_EQ(twoSteps.ReadyWidth(), 0);
            got.push_back(picture);
        };
        for (const Bytes& p : packets) {
            if (decode(oneCall, p)) {
                expected.push_back(dst);
            }
            if (twoSteps.Decode(p.data(), int(p.size()), 320, 240)) {
                take();
            }
        }
        while (oneCall.Drain(&key, dst.data(), int(dst.size()))) {
            expected.push_back(dst);
        }
        while (twoSteps.DrainOne()) {
            take();
        }
        EXPECT_EQ(got.size(), packets.size()) << file;
        EXPECT_TRUE(got == expected) << file;
    }
}

// Plane offsets are checked against ffmpeg at odd sizes in the oracle test;
// here only that the largest size needs no more than 64 bits.
TEST(I420LayoutTest, LargestSizeFits) {
    EXPECT_EQ(I420Layout::ForSize(0, 10).size, 0);
    EXPECT_EQ(I420Layout::ForSize(65536, 65536).size, int64_t(65536) * 65536 * 3 / 2);
}

}  // namespace
