// A clip over 1 GiB: the writer must go on in a "RIFF" "AVIX" part, turn its
// placeholders into OpenDML indexes, and both ffprobe and our reader must
// see every frame. The file is made here and removed with its folder.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Command.h"
#include "TempDir.h"
#include "container/avidec.h"
#include "container/avienc.h"
#include "container/riff.h"

using namespace container;
using namespace testsupport;

namespace {

constexpr int kFrames = 4400;
constexpr int kFrameBytes = 256 * 1024;  // 4400 frames: about 1.1 GiB
constexpr int kAudioBlock = 1024;

// Bytes [at, at + n) of a file.
std::string bytesAt(const std::string& path, uint64_t at, size_t n) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(at));
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<size_t>(in.gcount()));
    return s;
}

uint64_t le(const std::string& d, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = v << 8 | static_cast<uint8_t>(d.at(at + i));
    return v;
}

void writeLargeClip(const std::string& path) {
    AVFormatContext ctx{};
    AVIMuxContext mux{};
    ctx.priv_data = &mux;
    ASSERT_EQ(url_fopen(&ctx.pb, path.c_str(), URL_WRONLY), 0);
    AVCodecContext* v = av_new_stream_avi(&ctx, 0)->codec;
    v->codec_type = CODEC_TYPE_VIDEO;
    v->codec_tag = MKTAG('O', 'R', 'D', 'X');  // no decoder claims it: ffprobe only counts
    v->width = 640;
    v->height = 480;
    v->time_base = {1, 25};
    AVCodecContext* a = av_new_stream_avi(&ctx, 1)->codec;
    a->codec_type = CODEC_TYPE_AUDIO;
    a->codec_id = CODEC_ID_ADPCM_MS;
    a->codec_tag = 2;
    a->sample_rate = 8000;
    a->channels = 1;
    a->bit_rate = 32000;
    a->bits_per_coded_sample = 4;
    a->block_align = kAudioBlock;
    ASSERT_EQ(avi_write_header(&ctx), 0);

    std::string frame(kFrameBytes, '\0');
    std::string block(kAudioBlock, '\x11');
    for (int i = 0; i < kFrames; i++) {
        frame[0] = static_cast<char>(i);
        AVPacket pkt{};
        av_init_packet(&pkt);
        pkt.dts = i;
        pkt.flags = i % 25 == 0 ? PKT_FLAG_KEY : 0;
        pkt.data = reinterpret_cast<uint8_t*>(frame.data());
        pkt.size = kFrameBytes - (i & 1);
        ASSERT_EQ(avi_write_packet(&ctx, &pkt), 0);
        if (i % 4 == 0) {
            pkt.stream_index = 1;
            pkt.flags = PKT_FLAG_KEY;
            pkt.data = reinterpret_cast<uint8_t*>(block.data());
            pkt.size = kAudioBlock;
            ASSERT_EQ(avi_write_packet(&ctx, &pkt), 0);
        }
    }
    ASSERT_EQ(avi_write_trailer(&ctx), 0);
    ASSERT_EQ(url_fclose(ctx.pb), 0);
    avformat_free_context_avi(&ctx);
}

TEST(AviWriterLarge, OpenDmlClipOverOneGiB) {
    TempDir dir;
    const std::string path = dir.file("large.avi");
    writeLargeClip(path);
    const int audio_chunks = (kFrames + 3) / 4;

    // "RIFF" "AVI " and, right after it, "RIFF" "AVIX".
    const std::string head = bytesAt(path, 0, 64 * 1024);
    ASSERT_EQ(head.substr(0, 4), "RIFF");
    ASSERT_EQ(head.substr(8, 4), "AVI ");
    const uint64_t second = 8 + le(head, 4, 4);
    EXPECT_GT(second, uint64_t{AVI_MAX_RIFF_SIZE});
    const std::string avix = bytesAt(path, second, 24);
    EXPECT_EQ(avix.substr(0, 4), "RIFF");
    EXPECT_EQ(avix.substr(8, 4), "AVIX");
    EXPECT_EQ(avix.substr(12, 4), "LIST");
    EXPECT_EQ(avix.substr(20, 4), "movi");

    // Each stream's placeholder became a super index with one entry per
    // part, each pointing at an "ix" standard index of that stream.
    size_t indx = 0;
    for (const char* id : {"00dc", "01wb"}) {
        indx = head.find("indx", indx + 1);
        ASSERT_NE(indx, std::string::npos) << id;
        const size_t body = indx + 8;  // longs, subtype, type, entries in use, chunk id
        EXPECT_EQ(head.substr(body + 8, 4), id);
        EXPECT_EQ(le(head, body + 4, 4), 2u) << id;  // entries in use
        uint64_t frames = 0;
        for (int part = 0; part < 2; part++) {
            const size_t e = body + 24 + part * 16;
            const std::string ix = bytesAt(path, le(head, e, 8), 32);
            EXPECT_EQ(ix.substr(0, 2), "ix") << id;
            EXPECT_EQ(ix.substr(2, 2), std::string(id).substr(0, 2)) << id;
            EXPECT_EQ(ix.substr(16, 4), id);
            EXPECT_EQ(le(ix, 12, 4), le(head, e + 12, 4)) << id;  // entry counts agree
            frames += le(head, e + 12, 4);
        }
        EXPECT_EQ(frames, std::string(id) == "00dc" ? kFrames : audio_chunks) << id;
    }
    const size_t odml = head.find("odmldmlh");
    ASSERT_NE(odml, std::string::npos);
    EXPECT_EQ(head.substr(odml - 8, 4), "LIST");
    EXPECT_EQ(le(head, odml + 12, 4), uint64_t{kFrames});  // total frames

    CommandResult probe = ffprobe(
        {"-count_packets", "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0"}, path);
    EXPECT_EQ(probe.out, std::to_string(kFrames) + "\n" + std::to_string(audio_chunks) + "\n");

    AVFormatContext ctx{};
    AVIContext avi{};
    ctx.priv_data = &avi;
    ASSERT_EQ(url_fopen(&ctx.pb, path.c_str(), URL_RDONLY), 0);
    ASSERT_EQ(avi_read_header(&ctx, nullptr), 0);
    AVPacket pkt{};
    av_init_packet(&pkt);
    int counts[2] = {0, 0};
    int64_t next_video = 0;
    while (avi_read_packet(&ctx, &pkt) >= 0) {
        ASSERT_TRUE(pkt.stream_index == 0 || pkt.stream_index == 1);
        if (pkt.stream_index == 0) {
            EXPECT_EQ(pkt.dts, next_video);
            EXPECT_EQ(pkt.data[0], static_cast<uint8_t>(next_video));
            next_video++;
        }
        counts[pkt.stream_index]++;
    }
    av_destruct_packet(&pkt);
    avi_read_close(&ctx);
    avformat_free_context_avi(&ctx);
    url_fclose(ctx.pb);
    EXPECT_EQ(counts[0], kFrames);
    EXPECT_EQ(counts[1], audio_chunks);
}

}  // namespace
