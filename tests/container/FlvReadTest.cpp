// The FLV reader against ffprobe on files the ffmpeg CLI makes. Our packets
// carry the tag start (the previous-size field in front of the tag);
// ffprobe's pos is the tag header, 4 bytes later.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "Command.h"
#include "FlvFile.h"
#include "FlvFixtures.h"
#include "TempDir.h"
#include "TestData.h"

using namespace container;
using namespace containertest;
using namespace testsupport;

namespace {

struct FlvCase {
    const char* name;
    const char* codecs;  // ffmpeg options; empty: h264_aac cut inside a video payload
    bool metadata = true, video = true;
};
const FlvCase kCases[] = {
    {"h264_aac", "-c:v libx264 -g 12 -bf 2 -c:a aac -ac 1"},
    {"h264_mp3", "-c:v libx264 -g 12 -bf 0 -c:a libmp3lame -ac 1"},
    {"h264_pcm", "-c:v libx264 -g 10 -c:a pcm_s16le -ac 1"},
    {"h264_pcm_u8", "-c:v libx264 -g 10 -c:a pcm_u8 -ac 1"},
    {"video_keyframe_index", "-an -c:v libx264 -g 10 -flvflags add_keyframe_index"},
    {"aac_only", "-vn -c:a aac -ac 1", true, false},
    {"no_metadata", "-c:v libx264 -g 15 -c:a aac -ac 1 -flvflags no_metadata", false},
    {"truncated", ""},
};

std::string makeFile(const FlvCase& c) {
    static TempDir dir;
    const std::string path = dir.file(std::string(c.name) + ".flv");
    if (std::ifstream(path))
        return path;
    if (!*c.codecs) {
        const std::string whole = makeFile(kCases[0]);
        const std::vector<ProbePacket> all = probePackets(whole);
        const ProbePacket& cut = all[all.size() / 2 + (all[all.size() / 2].stream != 0)];
        std::ofstream(path) << readFile(whole).substr(0, cut.pos + 16 + cut.size / 2);
        return path;
    }
    std::vector<std::string> args = {
        "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3",
        "-f", "lavfi", "-i", "sine=sample_rate=22050:duration=3"};
    std::istringstream words(c.codecs);
    for (std::string w; words >> w;)
        args.push_back(w);
    args.push_back(path);
    EXPECT_EQ(ffmpeg(args).exitCode, 0) << c.name;
    return path;
}

// ffprobe's stream lines from our streams.
std::string ourStreams(AVFormatContext* s) {
    static std::map<CodecID, std::string> names = {{CODEC_ID_H264, "h264"},
                                                   {CODEC_ID_AAC, "aac"},
                                                   {CODEC_ID_MP3, "mp3"},
                                                   {CODEC_ID_PCM_S16LE, "pcm_s16le"},
                                                   {CODEC_ID_PCM_U8, "pcm_u8"}};
    std::ostringstream out;
    for (unsigned i = 0; i < s->nb_streams; i++) {
        const AVCodecContext* c = s->streams[i]->codec;
        out << names[c->codec_id] << ",";
        if (c->codec_type == CODEC_TYPE_AUDIO)
            out << c->sample_rate << "," << c->channels << ",0/0\n";
        else
            out << c->width << "," << c->height << "," << c->time_base.den << "/1\n";
    }
    return out.str();
}

// Backward reading's groups from the forward list: newest key frame first,
// the packets between it and the next key frame (the last group ends with
// the last video tag) whose dts lie between theirs.
std::vector<ProbePacket> expectedBackward(const std::vector<ProbePacket>& all) {
    std::vector<const ProbePacket*> keys;
    int64_t videoEnd = 0;
    for (const ProbePacket& p : all) {
        if (p.stream == 0 && p.key)
            keys.push_back(&p);
        videoEnd = p.stream == 0 ? p.pos + 1 : videoEnd;
    }
    std::vector<ProbePacket> want;
    for (size_t g = keys.size(); g-- > 0;) {
        const bool last = g + 1 == keys.size();
        for (const ProbePacket& p : all) {
            if (p.pos >= keys[g]->pos && p.pos < (last ? videoEnd : keys[g + 1]->pos) &&
                p.dts >= keys[g]->dts && p.dts < (last ? INT64_MAX : keys[g + 1]->dts))
                want.push_back(p);
        }
    }
    return want;
}

class FlvFiles : public ::testing::TestWithParam<FlvCase> {
protected:
    void SetUp() override {
        path = makeFile(GetParam());
        truncated = !*GetParam().codecs;
        want = probePackets(path);
        if (truncated)  // the packet cut short, which we refuse
            want.pop_back();
        for (ProbePacket& p : want)
            p.pos -= 4;
        for (const ProbePacket& p : want)
            if (GetParam().video && p.stream == 0 && p.key)  // else stream 0 is sound
                keys.push_back(p.dts);
        ASSERT_FALSE(want.empty());
    }
    std::string path;
    bool truncated = false;
    std::vector<ProbePacket> want;
    std::vector<int64_t> keys;
};

TEST_P(FlvFiles, PacketsStreamsAndDurationMatchFfprobe) {
    FlvFile f;
    ASSERT_EQ(f.open(path), 0);
    int end = 0;
    EXPECT_EQ(f.readAll(&end), want);
    EXPECT_EQ(end, truncated ? AVERROR_IO : AVERROR_SPIPE);
    if (GetParam().metadata) {  // without it the reader knows no picture size or rate
        EXPECT_EQ(ourStreams(f.ctx()),
                  ffprobe({"-show_entries",
                           "stream=codec_name,width,height,sample_rate,channels,avg_frame_rate",
                           "-of", "csv=p=0"},
                          path)
                      .out);
    }

    int64_t duration = 0;
    int size[3] = {};  // width, height, frame rate
    flv_read_info(path.c_str(), nullptr, &duration, nullptr, nullptr, 0, &size[0], 1, &size[1], 1,
                  nullptr, 0, nullptr, 0, &size[2], 1);
    EXPECT_EQ(
        duration,
        std::llround(
            1e6 *
            std::stod(ffprobe({"-show_entries", "format=duration", "-of", "csv=p=0"}, path).out)));
    const AVCodecContext* c = f.ctx()->streams[0]->codec;
    if (GetParam().video) {
        EXPECT_EQ(std::vector<int>(size, size + 3),
                  std::vector<int>({c->width, c->height, c->time_base.den}));
    }
}

TEST_P(FlvFiles, SeekLandsOnNearestKeyFrame) {
    FlvFile f;
    ASSERT_EQ(f.open(path), 0);
    for (int i = 0; i < 20; i++) {
        const int64_t target =
            (i * 7 % 20) * (want.back().dts + 300) / 19;  // back and forth, past the end
        const int r = flv_seek_frame(f.ctx(), target, 0, 1);
        if (keys.empty() || target < keys[0]) {  // no key frame at or before it: stay
            EXPECT_EQ(r, 0);
            continue;
        }
        ASSERT_EQ(r, 1) << target;
        ProbePacket p = f.readAll(nullptr, 1)[0];  // the tag sought is a video one
        auto after = std::upper_bound(keys.begin(), keys.end(), target);
        const int64_t nearest =
            after == keys.end() || target - after[-1] < *after - target ? after[-1] : *after;
        EXPECT_TRUE(p.stream == 0 && p.key &&
                    std::abs(p.dts - target) == std::abs(nearest - target))
            << target << " " << p.dts;
    }
}

TEST_P(FlvFiles, BackwardGroupsAreForwardPacketsNewestFirst) {
    FlvFile f;
    ASSERT_EQ(f.open(path, 2), 0);
    int end = 0;
    EXPECT_EQ(f.readAll(&end),
              GetParam().video ? expectedBackward(want) : std::vector<ProbePacket>());
    EXPECT_EQ(end, AVERROR_SPIPE);
    EXPECT_TRUE(f.readAll(&end).empty());  // and again
    EXPECT_EQ(end, AVERROR_SPIPE);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, FlvFiles, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

using Bytes = std::vector<uint8_t>;

// The avcC record's parameter sets, each behind a start code.
Bytes parameterSets(const uint8_t* e, int size) {
    Bytes out;
    for (int at = 5, list = 0; list < 2 && at < size; list++) {
        for (int n = e[at++] & (list ? 0xFF : 0x1F), length; n-- > 0 && at + 2 <= size;
             at += 2 + length) {
            length = std::min(e[at] << 8 | e[at + 1], size - at - 2);
            out.insert(out.end(), {0, 0, 0, 1});
            out.insert(out.end(), e + at + 2, e + at + 2 + length);
        }
    }
    return out;
}

}  // namespace

std::string containertest::flvFixture(const std::string& name) {
    auto c = std::find_if(std::begin(kCases), std::end(kCases),
                          [&](const FlvCase& c) { return name == c.name; });
    return makeFile(*c);
}

FlvPayloads containertest::readFlvPayloads(const std::string& path) {
    FlvPayloads out;
    FlvFile f;
    f.open(path);
    for (const AVPacket* p = f.packet(); flv_read_packet(f.ctx(), f.packet()) > 0;) {
        const AVCodecContext* c = f.ctx()->streams[p->stream_index]->codec;
        Bytes b(p->data, p->data + p->size);
        if (c->codec_id != CODEC_ID_H264) {
            if (c->codec_id == CODEC_ID_AAC)
                out.aac.push_back(b);
            continue;
        }
        for (size_t at = 0, n; at + 4 <= b.size();
             at += 4 + n) {  // NAL unit lengths to start codes
            n = size_t{b[at]} << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
            b[at] = b[at + 1] = b[at + 2] = 0;
            b[at + 3] = 1;
        }
        const Bytes sets =
            p->flags & PKT_FLAG_KEY ? parameterSets(c->extradata, c->extradata_size) : Bytes();
        b.insert(b.begin(), sets.begin(), sets.end());
        out.video.push_back(b);
    }
    return out;
}
