// Backward reading, judged by ffprobe: the groups of pictures come newest
// first as ffprobe's key-frame list divides the file, each with the chunks
// of every stream that lie in the group and whose own time falls in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "Command.h"
#include "ProbePackets.h"
#include "TempDir.h"
#include "TestData.h"
#include "container/avibackward.h"
#include "container/avienc.h"
#include "container/riff.h"

using namespace container;
using namespace containertest;
using namespace testsupport;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string recordingFile(const std::string& prefix) {
    const std::string dir = testDataDir() + "/recordings";
    CommandResult r =
        runCommand({"sh", "-c", "ls " + shellQuote(dir) + " | grep '^" + prefix + "'"});
    std::string name = r.out.substr(0, r.out.find('\n'));
    return name.empty() ? "" : dir + "/" + name;
}

// A file opened for backward reading on one slot.
class BackwardFile {
public:
    BackwardFile() { ctx_.priv_data = &avi_; }
    ~BackwardFile() {
        av_destruct_packet(&pkt_);
        avi_read_close(&ctx_);
        avformat_free_context_avi(&ctx_);
        if (ctx_.pb)
            url_fclose(ctx_.pb);
    }
    BackwardFile(const BackwardFile&) = delete;
    BackwardFile& operator=(const BackwardFile&) = delete;

    // The header's result, or the open's.
    int open(const std::string& path, int slot) {
        slot_ = slot;
        const int r = url_fopen(&ctx_.pb, path.c_str(), URL_RDONLY);
        return r < 0 ? r : avi_read_header_backward(&ctx_, nullptr, slot);
    }
    int next() { return avi_read_packet_backward(&ctx_, &pkt_, slot_); }
    const AVPacket& packet() const { return pkt_; }
    AVFormatContext* ctx() { return &ctx_; }

    // Packets (stream, dts, size) until the first negative result, which
    // goes to *end; at most `limit` calls.
    std::vector<ProbePacket> readAll(int* end, int limit = 1000000) {
        std::vector<ProbePacket> got;
        for (int i = 0; i < limit; i++) {
            const int r = next();
            if (r < 0) {
                *end = r;
                return got;
            }
            ProbePacket p;
            p.stream = pkt_.stream_index;
            p.dts = pkt_.dts;
            p.size = pkt_.size;
            got.push_back(p);
        }
        *end = 0;
        return got;
    }

private:
    AVFormatContext ctx_{};
    AVIContext avi_{};
    AVPacket pkt_{};
    int slot_ = 0;
};

struct Rational {
    int64_t num, den;
};

std::vector<Rational> timeBases(const std::string& path) {
    std::vector<Rational> tbs;
    for (const ProbeStream& s : probeStreams(path))
        tbs.push_back({s.time_base_num, s.time_base_den});
    return tbs;
}

// a x ta < b x tb, exactly.
bool earlier(int64_t a, Rational ta, int64_t b, Rational tb) {
    return static_cast<__int128>(a) * ta.num * tb.den < static_cast<__int128>(b) * tb.num * ta.den;
}

// What backward reading must deliver, from ffprobe's packet list: for each
// key frame of stream 0, newest first, the packets whose chunks lie between
// it and the next group's key frame (the last group ends with the last
// video chunk) and whose time lies in [key, next key).
std::vector<ProbePacket> expectedBackward(const std::string& path) {
    std::vector<ProbePacket> all = probePackets(path);
    std::sort(all.begin(), all.end(),
              [](const ProbePacket& a, const ProbePacket& b) { return a.pos < b.pos; });
    const std::vector<Rational> tbs = timeBases(path);
    std::vector<ProbePacket> keys;
    int64_t video_end = 0;
    for (const ProbePacket& p : all) {
        if (p.stream != 0)
            continue;
        if (p.key)
            keys.push_back(p);
        video_end = p.pos + p.size + (p.size & 1);  // ffprobe's pos is the payload's
    }
    std::vector<ProbePacket> want;
    for (size_t g = keys.size(); g-- > 0;) {
        const int64_t from = keys[g].pos - 8;
        const int64_t to = g + 1 < keys.size() ? keys[g + 1].pos - 8 : video_end;
        for (const ProbePacket& p : all) {
            if (p.pos - 8 < from || p.pos - 8 >= to)
                continue;
            const Rational tb = tbs[p.stream];
            if (earlier(p.dts, tb, keys[g].dts, tbs[0]))
                continue;
            if (g + 1 < keys.size() && !earlier(p.dts, tb, keys[g + 1].dts, tbs[0]))
                continue;
            ProbePacket w = p;
            w.pos = -1;
            w.key = false;
            want.push_back(w);
        }
    }
    return want;
}

std::vector<int64_t> videoDts(const std::vector<ProbePacket>& packets) {
    std::vector<int64_t> dts;
    for (const ProbePacket& p : packets) {
        if (p.stream == 0)
            dts.push_back(p.dts);
    }
    return dts;
}

struct Fixture {
    const char* name;
    bool recording;  // in the recordings folder, found by name prefix
};

std::string fixturePath(const Fixture& fx) {
    return fx.recording ? recordingFile(fx.name) : testDataFile(fx.name);
}

class BackwardGroups : public ::testing::TestWithParam<Fixture> {};

TEST_P(BackwardGroups, NewestGroupFirstThenNoEarlierGroup) {
    const std::string path = fixturePath(GetParam());
    ASSERT_FALSE(path.empty()) << GetParam().name << " was not generated";
    const std::vector<ProbePacket> want = expectedBackward(path);
    ASSERT_FALSE(want.empty());

    BackwardFile file;
    ASSERT_EQ(file.open(path, 3), 0);
    int end = 0;
    const std::vector<ProbePacket> got = file.readAll(&end);
    EXPECT_EQ(end, AVERROR_SPIPE);
    EXPECT_EQ(videoDts(got), videoDts(want));
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].stream, want[i].stream) << i;
        EXPECT_EQ(got[i].dts, want[i].dts) << i;
        EXPECT_EQ(got[i].size, want[i].size) << i;
    }
    EXPECT_EQ(file.next(), AVERROR_SPIPE);
    EXPECT_EQ(file.next(), AVERROR_SPIPE);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BackwardGroups,
                         ::testing::Values(Fixture{"h264_aac.avi", false},
                                           Fixture{"h264_bframes_aac.avi", false},
                                           Fixture{"hevc_adpcm_ms.avi", false},
                                           Fixture{"h264_adpcm_ima.avi", false},
                                           Fixture{"h264_adts_aac.avi", false},
                                           Fixture{"20230514083000_NM", true},   // ADPCM, data
                                           Fixture{"20230514084500_GS", true},   // HEVC, AAC
                                           Fixture{"20230514090000_TI", true},   // data at 10 Hz
                                           Fixture{"20230514091500_MO", true}),  // no idx1
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n) {
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             }
                             return n;
                         });

// A clip of `frames` video chunks with key frames every `gop` frames, and
// one audio chunk after every video chunk; written with the clip writer.
void writeGroups(const std::string& path, int frames, int gop, bool audio_first = false) {
    AVFormatContext ctx{};
    AVIMuxContext mux{};
    ctx.priv_data = &mux;
    ASSERT_EQ(url_fopen(&ctx.pb, path.c_str(), URL_WRONLY), 0);
    AVStream* audio = nullptr;
    if (audio_first)
        audio = av_new_stream_avi(&ctx, 0);
    AVCodecContext* v = av_new_stream_avi(&ctx, ctx.nb_streams)->codec;
    v->codec_type = CODEC_TYPE_VIDEO;
    v->codec_tag = MKTAG('O', 'R', 'D', 'X');
    v->width = 64;
    v->height = 48;
    v->time_base = {1, 25};
    if (!audio)
        audio = av_new_stream_avi(&ctx, 1);
    AVCodecContext* a = audio->codec;
    a->codec_type = CODEC_TYPE_AUDIO;
    a->codec_id = CODEC_ID_PCM_S16LE;
    a->codec_tag = 1;
    a->sample_rate = 8000;
    a->channels = 1;
    a->bit_rate = 128000;
    a->block_align = 640;  // one 40 ms block per video frame
    ASSERT_EQ(avi_write_header(&ctx), 0);
    const int vi = audio_first ? 1 : 0;
    std::string chunk(640, 'v');
    std::string sound(640, 'a');  // 40 ms of sound
    for (int i = 0; i < frames; i++) {
        AVPacket pkt{};
        av_init_packet(&pkt);
        pkt.stream_index = vi;
        pkt.dts = i;
        pkt.flags = i % gop == 0 ? PKT_FLAG_KEY : 0;
        pkt.data = reinterpret_cast<uint8_t*>(chunk.data());
        pkt.size = 100 + i;
        ASSERT_EQ(avi_write_packet(&ctx, &pkt), 0);
        pkt.stream_index = 1 - vi;
        pkt.flags = PKT_FLAG_KEY;
        pkt.data = reinterpret_cast<uint8_t*>(sound.data());
        pkt.size = static_cast<int>(sound.size());
        ASSERT_EQ(avi_write_packet(&ctx, &pkt), 0);
    }
    ASSERT_EQ(avi_write_trailer(&ctx), 0);
    url_fclose(ctx.pb);
    avformat_free_context_avi(&ctx);
}

std::vector<int64_t> range(int64_t from, int64_t to) {
    std::vector<int64_t> r;
    for (int64_t i = from; i < to; i++)
        r.push_back(i);
    return r;
}

std::vector<int64_t> concat(std::vector<std::vector<int64_t>> parts) {
    std::vector<int64_t> all;
    for (auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Key frames at 0, 30 and 60 of 90 frames: 60-89, 30-59, 0-29, then no
// earlier group, again and again. The last frame is delivered too.
TEST(AviBackward, ThreeGroupsNewestFirst) {
    TempDir dir;
    const std::string path = dir.file("groups.avi");
    writeGroups(path, 90, 30);
    BackwardFile file;
    ASSERT_EQ(file.open(path, 0), 0);
    int end = 0;
    const std::vector<ProbePacket> got = file.readAll(&end);
    EXPECT_EQ(end, AVERROR_SPIPE);
    EXPECT_EQ(videoDts(got), concat({range(60, 90), range(30, 60), range(0, 30)}));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(file.next(), AVERROR_SPIPE);
    // Sound comes with the group it lies in (one block per video frame); the
    // last block follows the last video chunk, outside every group.
    std::vector<int64_t> audio;
    for (const ProbePacket& p : got) {
        if (p.stream == 1)
            audio.push_back(p.dts);
    }
    EXPECT_EQ(audio, concat({range(60, 89), range(30, 60), range(0, 30)}));
}

// After a forward seek on the slot, backward reading starts with the group
// before the key frame sought.
TEST(AviBackward, ForwardSeekThenBackwardPlaysTheGroupBefore) {
    TempDir dir;
    const std::string path = dir.file("groups.avi");
    writeGroups(path, 100, 25);
    BackwardFile file;
    ASSERT_EQ(file.open(path, 5), 0);
    ASSERT_EQ(avi_read_seek(file.ctx(), 0, 52, AVSEEK_FLAG_BACKWARD, 5), 0);
    int end = 0;
    const std::vector<ProbePacket> got = file.readAll(&end);
    EXPECT_EQ(end, AVERROR_SPIPE);
    EXPECT_EQ(videoDts(got), concat({range(25, 50), range(0, 25)}));
}

// Each open file keeps its own slots: two files read on the same slot do not
// disturb each other.
TEST(AviBackward, SlotsBelongToTheirFile) {
    TempDir dir;
    writeGroups(dir.file("a.avi"), 60, 20);
    writeGroups(dir.file("b.avi"), 40, 10);
    BackwardFile a, b;
    ASSERT_EQ(a.open(dir.file("a.avi"), 2), 0);
    ASSERT_EQ(b.open(dir.file("b.avi"), 2), 0);
    std::vector<int64_t> va, vb;
    bool a_done = false, b_done = false;
    while (!a_done || !b_done) {
        if (!a_done) {
            a_done = a.next() < 0;
            if (!a_done && a.packet().stream_index == 0)
                va.push_back(a.packet().dts);
        }
        if (!b_done) {
            b_done = b.next() < 0;
            if (!b_done && b.packet().stream_index == 0)
                vb.push_back(b.packet().dts);
        }
    }
    EXPECT_EQ(va, concat({range(40, 60), range(20, 40), range(0, 20)}));
    EXPECT_EQ(vb, concat({range(30, 40), range(20, 30), range(10, 20), range(0, 10)}));
}

// A file that must be read by its index, whose sound chunks are smaller
// than the sample size its header declares: the reader keeps finding the
// same chunk, outside the group's time. Backward reading gives up such
// groups and ends.
TEST(AviBackward, ReaderThatDoesNotMoveOnEnds) {
    TempDir dir;
    const std::string path = dir.file("stuck.avi");
    {
        AVFormatContext ctx{};
        AVIMuxContext mux{};
        ctx.priv_data = &mux;
        ASSERT_EQ(url_fopen(&ctx.pb, path.c_str(), URL_WRONLY), 0);
        AVCodecContext* v = av_new_stream_avi(&ctx, 0)->codec;
        v->codec_type = CODEC_TYPE_VIDEO;
        v->codec_tag = MKTAG('O', 'R', 'D', 'X');
        v->time_base = {1, 25};
        AVCodecContext* a = av_new_stream_avi(&ctx, 1)->codec;
        a->codec_type = CODEC_TYPE_AUDIO;
        a->codec_id = CODEC_ID_ADPCM_MS;
        a->codec_tag = 2;
        a->sample_rate = 8000;
        a->channels = 1;
        a->bit_rate = 64000;
        a->block_align = 1024;
        ASSERT_EQ(avi_write_header(&ctx), 0);
        std::string bytes(200, 'x');
        for (int i = 0; i < 10; i++) {
            AVPacket pkt{};
            av_init_packet(&pkt);
            pkt.dts = i;
            pkt.flags = i % 5 == 0 ? PKT_FLAG_KEY : 0;
            pkt.data = reinterpret_cast<uint8_t*>(bytes.data());
            pkt.size = 200;
            ASSERT_EQ(avi_write_packet(&ctx, &pkt), 0);
            if (i >= 5 && i < 8) {  // sound early in the second group only
                pkt.stream_index = 1;
                pkt.size = 100;
                ASSERT_EQ(avi_write_packet(&ctx, &pkt), 0);
            }
        }
        ASSERT_EQ(avi_write_trailer(&ctx), 0);
        url_fclose(ctx.pb);
        avformat_free_context_avi(&ctx);
    }
    std::string d = readFile(path);
    const size_t flags = d.find("avih") + 8 + 12;
    d[flags] = static_cast<char>(d[flags] | 0x20);  // must use the index
    writeFile(path, d);

    BackwardFile file;
    ASSERT_EQ(file.open(path, 0), 0);
    std::vector<ProbePacket> got;
    int r = 0;
    for (int i = 0; i < 1000 && (r = file.next()) >= 0; i++) {
        ProbePacket p;
        p.stream = file.packet().stream_index;
        p.dts = file.packet().dts;
        p.pos = file.packet().pos;
        if (!got.empty()) {
            EXPECT_FALSE(got.back() == p) << p;
        }
        got.push_back(p);
    }
    EXPECT_EQ(r, AVERROR_SPIPE);
    EXPECT_LT(got.size(), 100u);
}

TEST(AviBackward, RejectsSlotsOutsideTheTable) {
    TempDir dir;
    const std::string path = dir.file("groups.avi");
    writeGroups(path, 10, 5);
    for (int slot : {-1, AVI_PACKET_SLOTS, 1000}) {
        BackwardFile file;
        EXPECT_EQ(file.open(path, slot), AVERROR_INVAL) << slot;
        EXPECT_EQ(file.next(), AVERROR_INVAL) << slot;
        EXPECT_EQ(avi_find_backward_packet(file.ctx(), slot), -1) << slot;
        EXPECT_EQ(avi_set_to_end_packet(file.ctx(), slot), -1) << slot;
        EXPECT_EQ(avi_have_packet(file.ctx(), slot), 0) << slot;
    }
}

// Without a video stream 0 there are no groups: -32 at once, every time.
TEST(AviBackward, NoVideoStreamZeroEndsAtOnce) {
    TempDir dir;
    const std::string path = dir.file("audio_first.avi");
    writeGroups(path, 20, 5, /*audio_first=*/true);
    BackwardFile file;
    ASSERT_EQ(file.open(path, 0), 0);
    EXPECT_EQ(avi_set_to_end_packet(file.ctx(), 0), -1);
    EXPECT_EQ(file.next(), AVERROR_SPIPE);
    EXPECT_EQ(file.next(), AVERROR_SPIPE);
}

// A video stream 0 without chunks opens, and has no group to give.
TEST(AviBackward, EmptyVideoStreamHasNoGroup) {
    TempDir dir;
    const std::string path = dir.file("empty.avi");
    writeGroups(path, 0, 5);
    BackwardFile file;
    ASSERT_EQ(file.open(path, 0), 0);
    EXPECT_EQ(avi_set_to_end_packet(file.ctx(), 0), -1);
    EXPECT_EQ(file.next(), AVERROR_SPIPE);
    EXPECT_EQ(file.next(), AVERROR_SPIPE);
}

TEST(AviBackward, HavePacketFollowsTheGroup) {
    TempDir dir;
    const std::string path = dir.file("groups.avi");
    writeGroups(path, 20, 10);
    BackwardFile file;
    ASSERT_EQ(file.open(path, 7), 0);
    EXPECT_EQ(avi_have_packet(file.ctx(), 7), 1);
    EXPECT_EQ(avi_have_packet(file.ctx(), 6), 0);  // an untouched slot holds no group
    int end = 0;
    file.readAll(&end);
    EXPECT_EQ(avi_have_packet(file.ctx(), 7), 0);
    EXPECT_EQ(avi_set_to_end_packet(file.ctx(), 7), 0);
    EXPECT_EQ(videoDts(file.readAll(&end)), concat({range(10, 20), range(0, 10)}));
}

// Damaged copies of a recorder file (cut short, bytes flipped, chunk sizes
// made 0, odd, huge or negative) end backward reading with a negative
// result, never a crash or an endless loop.
TEST(AviBackward, DamagedFilesEnd) {
    const std::string src = recordingFile("20230514083000_NM");
    ASSERT_FALSE(src.empty());
    const std::string bytes = readFile(src);
    TempDir dir;
    const std::string path = dir.file("damaged.avi");
    std::vector<std::string> damaged;
    for (size_t cut : {size_t{0}, size_t{7}, size_t{12}, size_t{100}, size_t{300}, size_t{440},
                       bytes.size() / 3, bytes.size() / 2, bytes.size() - 3000, bytes.size() - 9})
        damaged.push_back(bytes.substr(0, std::min(cut, bytes.size())));
    for (size_t at = 4; at < bytes.size(); at += bytes.size() / 23) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        damaged.push_back(flipped);
    }
    // Chunk sizes of the first movi chunks and of idx1.
    for (uint32_t size : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF8u}) {
        for (const char* id : {"00dc", "01wb", "idx1", "02tx"}) {
            std::string changed = bytes;
            const size_t at = changed.find(id, 400);
            if (at == std::string::npos)
                continue;
            for (int i = 0; i < 4; i++)
                changed[at + 4 + i] = static_cast<char>(size >> (8 * i));
            damaged.push_back(changed);
        }
    }
    for (size_t i = 0; i < damaged.size(); i++) {
        writeFile(path, damaged[i]);
        BackwardFile file;
        file.open(path, static_cast<int>(i % AVI_PACKET_SLOTS));
        int end = 0;
        const std::vector<ProbePacket> got = file.readAll(&end, 100000);
        EXPECT_LT(end, 0) << "case " << i;
        EXPECT_LE(got.size(), damaged[i].size() / 8) << "case " << i;
    }
}

}  // namespace
