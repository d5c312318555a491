// The RIFF stream-format pieces the fixtures do not reach (written ones are
// judged by ffprobe in the writer tests).
#include <gtest/gtest.h>

#include <vector>

#include "RiffBuilder.h"
#include "RiffReading.h"
#include "container/mem.h"
#include "container/riff.h"

using namespace container;
using containertest::RiffBuilder;
using testsupport::le16;
using testsupport::le32;

namespace {

// Runs fn on a dynamic buffer and returns what it wrote.
template <typename Fn>
std::vector<uint8_t> written(Fn fn) {
    ByteIOContext* pb = nullptr;
    EXPECT_EQ(url_open_dyn_buf(&pb), 0);
    fn(pb);
    uint8_t* data = nullptr;
    int size = url_close_dyn_buf(pb, &data);
    std::vector<uint8_t> out(data, data + size);
    av_free(data);
    return out;
}

// The bits-per-sample field: the stream's coded figure when set, else 4 for
// ADPCM (readers reject IMA ADPCM said to have 16), else the codec's own.
// Block align: the stream's when set, else channels x bits / 8.
TEST(Riff, WaveFormatBitsPerSampleAndBlockAlign) {
    struct Case {
        CodecID id;
        unsigned tag;
        int coded, channels, blockAlign;
        unsigned bits, align;
    } cases[] = {{CODEC_ID_ADPCM_IMA_WAV, 0x11, 0, 1, 0, 4, 0},
                 {CODEC_ID_ADPCM_IMA_WAV, 0x11, 3, 6, 0, 3, 2},
                 {CODEC_ID_ADPCM_IMA_WAV, 0x11, 0, 2, 512, 4, 512},
                 {CODEC_ID_ADPCM_SWF, 0x5346, 0, 4, 0, 4, 2},
                 {CODEC_ID_PCM_S16LE, 1, 0, 1, 0, 16, 2},
                 {CODEC_ID_PCM_S16LE, 1, 0, 3, 0, 16, 6},
                 {CODEC_ID_AAC, 0xff, 0, 2, 0, 16, 4}};
    for (const Case& c : cases) {
        AVCodecContext enc{};
        enc.codec_id = c.id;
        enc.codec_tag = c.tag;
        enc.channels = c.channels;
        enc.block_align = c.blockAlign;
        enc.bits_per_coded_sample = c.coded;
        std::vector<uint8_t> b = written([&](ByteIOContext* pb) { put_wav_header(pb, &enc); });
        ASSERT_GE(b.size(), 16u);
        EXPECT_EQ(le16(b, 14), c.bits) << "codec " << c.id;
        EXPECT_EQ(le16(b, 12), c.align) << "codec " << c.id << ", " << c.channels << " channels";
    }
}

// get_wav_header over bytes, for a chunk of `size`; where it stopped goes
// to *end.
AVCodecContext readWav(std::vector<uint8_t> bytes, int size, int64_t* end = nullptr) {
    ByteIOContext* pb = nullptr;
    EXPECT_EQ(url_open_buf(&pb, bytes.data(), static_cast<int>(bytes.size()), URL_RDONLY), 0);
    AVCodecContext dec{};
    get_wav_header(pb, &dec, size);
    if (end)
        *end = url_ftell(pb);
    av_free(pb);
    return dec;
}

TEST(Riff, WaveFormatExtensibleAndExtradata) {
    // WAVE_FORMAT_EXTENSIBLE carrying AAC (0x00ff) with 2 bytes of extradata:
    // cbSize, valid bits, channel mask, sub-format GUID, extradata.
    RiffBuilder ext;
    ext.le16(0xfffe).le16(2).le32(44100).le32(16000).le16(4).le16(16);
    ext.le16(24).le16(16).le32(3).le32(0x00ff).zeros(12).bytes({0x12, 0x10});
    ext.le32(0xdeadbeef);  // past the chunk
    int64_t end = 0;
    AVCodecContext dec = readWav(ext.data(), 42, &end);
    EXPECT_EQ(dec.codec_id, CODEC_ID_AAC);
    EXPECT_EQ(dec.codec_tag, 0xfffeu);
    ASSERT_EQ(dec.extradata_size, 2);
    EXPECT_EQ(dec.extradata[0], 0x12);
    EXPECT_EQ(end, 42);
    av_free(dec.extradata);

    // A cbSize larger than the chunk is cut to what the chunk holds.
    RiffBuilder big;
    big.le16(0x00ff).le16(1).le32(8000).le32(1000).le16(0).le16(16).le16(60000).bytes({0x15, 0x88});
    AVCodecContext cut = readWav(big.data(), 20);
    EXPECT_EQ(cut.extradata_size, 2);
    av_free(cut.extradata);
    EXPECT_EQ(readWav(big.data(), 14).bits_per_coded_sample, 8);
}

// Odd extradata is padded to a word: end_tag does not pad, and a reader
// would lose the next chunk's alignment.
TEST(Riff, BitmapHeaderPadsOddExtradata) {
    uint8_t extra[3] = {1, 2, 3};
    AVCodecContext enc{};
    enc.codec_tag = MKTAG('H', '2', '6', '4');
    enc.extradata = extra;
    enc.extradata_size = 3;
    std::vector<uint8_t> b =
        written([&](ByteIOContext* pb) { put_bmp_header(pb, &enc, codec_bmp_tags, 0); });
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(le32(b, 0), 43u);
    EXPECT_EQ(b[42], 3);
}

}  // namespace
