// Damaged video, libavcodec's log and decoders running side by side.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "CodecTestSupport.h"
#include "TestData.h"
#include "codec/ACAACDecoder.h"
#include "codec/ACH264Decoder.h"

using namespace codectest;
using namespace testsupport;

namespace {

constexpr int kFrameBytes = 320 * 240 * 3 / 2;

// Flips about one byte in a hundred and sometimes cuts the packet short.
std::vector<Bytes> damaged(std::vector<Bytes> packets, unsigned seed) {
    std::mt19937 random(seed);
    for (Bytes& p : packets) {
        for (unsigned char& b : p) {
            if (random() % 100 == 0)
                b = static_cast<unsigned char>(random());
        }
        if (random() % 4 == 0)
            p.resize(random() % (p.size() + 1));
    }
    return packets;
}

TEST(Robustness, DamagedVideoGivesWholePicturesOrNone) {
    for (const char* name : {"h264_bframes_aac.avi", "hevc_adpcm_ms.avi", "hevc10.avi"}) {
        const std::string file = testDataFile(name);
        const std::vector<Bytes> packets = damaged(readPackets(file, "v:0"), 7);
        ACH264Decoder d;
        Bytes dst(kFrameBytes + 1);
        int pictures = 0;
        for (const Bytes& p : packets) {
            int key = -1;
            unsigned char* got = d.DecodeBuffer(0, p.empty() ? nullptr : p.data(), int(p.size()),
                                                &key, 320, 240, dst.data(), kFrameBytes);
            if (!got)
                continue;
            ++pictures;
            EXPECT_EQ(got, dst.data());
            EXPECT_TRUE(key == 0 || key == 1);
            EXPECT_LE(int64_t(d.pictureWidth()) * d.pictureHeight() * 3 / 2, kFrameBytes);
        }
        EXPECT_GT(pictures, 0) << name;
        EXPECT_EQ(dst.back(), 0) << "written past the capacity";
    }
}

TEST(Robustness, LibavcodecLogGoesToTheDebugStream) {
    const std::vector<Bytes> packets = readPackets(testDataFile("h264_aac.avi"), "v:0");
    Bytes junk = packets[5];  // a P picture without its reference
    DebugCapture debug;
    StderrCapture err;
    ACH264Decoder d;
    Bytes dst(kFrameBytes);
    int key = 0;
    d.DecodeBuffer(0, junk.data(), int(junk.size()), &key, 320, 240, dst.data(), kFrameBytes);
    EXPECT_EQ(err.text(), "");
    EXPECT_FALSE(debug.lines("[h264 @").isEmpty());
}

TEST(Robustness, DecodersOnSeveralThreadsGiveTheSamePictures) {
    const std::string file = testDataFile("h264_bframes_aac.avi");
    const std::vector<Bytes> packets = readPackets(file, "v:0");
    const std::vector<Bytes> audio = readPackets(file, "a:0");
    const VideoInfo info = probeVideo(file);
    constexpr int kThreads = 4;
    std::vector<Decoded> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ACH264Decoder d;
            results[i] = decodeVideo(d, packets, info);
        });
    }
    // The audio path takes the shared lock for every call meanwhile.
    ACAACDecoder aac;
    decodeAudio(aac, kAac, audio);
    for (std::thread& t : threads)
        t.join();
    for (int i = 1; i < kThreads; ++i)
        EXPECT_TRUE(results[i].frames == results[0].frames);
    EXPECT_EQ(results[0].frames.size(), packets.size());
}

}  // namespace
