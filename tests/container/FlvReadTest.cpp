// The FLV reader against ffprobe and ffmpeg on files the ffmpeg CLI makes:
// packets, stream parameters, key-frame seeks and backward groups. Our
// packets carry the tag start (the previous-size field in front of the
// tag); ffprobe's pos is the tag header, 4 bytes later.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "Command.h"
#include "FlvFile.h"
#include "FlvFixtures.h"
#include "TempDir.h"
#include "TestData.h"

using namespace container;
using namespace containertest;
using namespace testsupport;

namespace {

using Bytes = std::vector<uint8_t>;

struct FlvCase {
    const char* name;
    std::vector<std::string> codecs;  // empty: h264_aac cut inside a video payload
    bool metadata = true;
    bool video = true;
};

const FlvCase kCases[] = {
    {"h264_aac", {"-c:v", "libx264", "-g", "12", "-bf", "2", "-c:a", "aac", "-ac", "1"}},
    {"h264_mp3", {"-c:v", "libx264", "-g", "12", "-bf", "0", "-c:a", "libmp3lame", "-ac", "1"}},
    {"h264_pcm", {"-c:v", "libx264", "-g", "10", "-c:a", "pcm_s16le", "-ac", "1"}},
    {"h264_pcm_u8", {"-c:v", "libx264", "-g", "10", "-c:a", "pcm_u8", "-ac", "1"}},
    {"video_keyframe_index",
     {"-an", "-c:v", "libx264", "-g", "10", "-flvflags", "add_keyframe_index"}},
    {"aac_only", {"-vn", "-c:a", "aac", "-ac", "1"}, true, false},
    {"no_metadata",
     {"-c:v", "libx264", "-g", "15", "-c:a", "aac", "-ac", "1", "-flvflags", "no_metadata"},
     false},
    {"truncated", {}},
};

int64_t tagStart(const ProbePacket& p) {
    return p.pos - 4;
}

// ffprobe's packets with our tag starts; a packet cut short is left out.
std::vector<ProbePacket> wholePackets(const std::string& path, bool truncated) {
    std::vector<ProbePacket> all = probePackets(path);
    if (truncated && !all.empty())
        all.pop_back();
    for (ProbePacket& p : all)
        p.pos = tagStart(p);
    return all;
}

std::string makeFile(const FlvCase& c) {
    static TempDir dir;
    const std::string path = dir.file(std::string(c.name) + ".flv");
    if (std::ifstream(path))
        return path;
    if (c.codecs.empty()) {  // cut in the middle of a video packet's payload
        const std::string whole = makeFile(kCases[0]);
        std::vector<ProbePacket> all = probePackets(whole);
        const ProbePacket& cut = all[all.size() / 2 + (all[all.size() / 2].stream != 0)];
        std::ofstream(path, std::ios::binary)
            << readFile(whole).substr(0, cut.pos + 16 + cut.size / 2);
        return path;
    }
    std::vector<std::string> args = {
        "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3",
        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=3"};
    args.insert(args.end(), c.codecs.begin(), c.codecs.end());
    args.push_back(path);
    EXPECT_EQ(ffmpeg(args).exitCode, 0) << c.name;
    return path;
}

const char* codecName(CodecID id) {
    switch (id) {
        case CODEC_ID_H264:
            return "h264";
        case CODEC_ID_AAC:
            return "aac";
        case CODEC_ID_MP3:
            return "mp3";
        case CODEC_ID_PCM_S16LE:
            return "pcm_s16le";
        case CODEC_ID_PCM_U8:
            return "pcm_u8";
        default:
            return "?";
    }
}

// What ffprobe's stream lines say, in our terms; without metadata the
// reader knows no picture size or rate.
std::string ourStreams(AVFormatContext* s, bool metadata) {
    std::string out;
    for (unsigned i = 0; i < s->nb_streams; i++) {
        const AVCodecContext* c = s->streams[i]->codec;
        out += codecName(c->codec_id);
        if (c->codec_type == CODEC_TYPE_AUDIO)
            out +=
                "," + std::to_string(c->sample_rate) + "," + std::to_string(c->channels) + ",0/0";
        else if (metadata)
            out += "," + std::to_string(c->width) + "," + std::to_string(c->height) + "," +
                   std::to_string(c->time_base.den) + "/1";
        out += "\n";
    }
    return out;
}

std::string probedStreams(const std::string& path, bool metadata) {
    std::string out = ffprobe({"-show_entries",
                               "stream=codec_name,width,height,sample_rate,channels,avg_frame_rate",
                               "-of", "csv=p=0"},
                              path)
                          .out;
    for (size_t at = 0; !metadata && (at = out.find("h264,", at)) != std::string::npos;)
        out.erase(at + 4, out.find('\n', at) - at - 4);
    return out;
}

// Backward reading's groups from the forward list: newest key frame first,
// the packets between it and the next key frame (the last group ends with
// the last video tag) whose dts lie between theirs.
std::vector<ProbePacket> expectedBackward(const std::vector<ProbePacket>& all, bool video) {
    std::vector<const ProbePacket*> keys;
    int64_t videoEnd = 0;
    for (const ProbePacket& p : all) {
        if (!video)
            break;
        if (p.stream == 0 && p.key)
            keys.push_back(&p);
        videoEnd = p.stream == 0 ? p.pos + 1 : videoEnd;
    }
    std::vector<ProbePacket> want;
    for (size_t g = keys.size(); g-- > 0;) {
        const bool last = g + 1 == keys.size();
        const int64_t to = last ? videoEnd : keys[g + 1]->pos;
        const int64_t until = last ? INT64_MAX : keys[g + 1]->dts;
        for (const ProbePacket& p : all) {
            if (p.pos >= keys[g]->pos && p.pos < to && p.dts >= keys[g]->dts && p.dts < until)
                want.push_back(p);
        }
    }
    return want;
}

// The avcC record's parameter sets, each behind a start code.
Bytes parameterSets(const uint8_t* e, int size) {
    Bytes out;
    for (int at = 5, list = 0; list < 2 && at < size; list++) {
        for (int n = e[at++] & (list ? 0xFF : 0x1F); n-- > 0 && at + 2 <= size;) {
            const int length = std::min(e[at] << 8 | e[at + 1], size - at - 2);
            out.insert(out.end(), {0, 0, 0, 1});
            out.insert(out.end(), e + at + 2, e + at + 2 + length);
            at += 2 + length;
        }
    }
    return out;
}

// FLV's 4-byte NAL unit lengths become start codes of the same size.
Bytes annexB(const uint8_t* data, int size) {
    Bytes out(data, data + size);
    for (size_t at = 0; at + 4 <= out.size();) {
        const size_t length =
            size_t{out[at]} << 24 | out[at + 1] << 16 | out[at + 2] << 8 | out[at + 3];
        out[at] = out[at + 1] = out[at + 2] = 0;
        out[at + 3] = 1;
        at += 4 + length;
    }
    return out;
}

}  // namespace

namespace containertest {

std::string flvFixture(const std::string& name) {
    for (const FlvCase& c : kCases) {
        if (name == c.name)
            return makeFile(c);
    }
    return {};
}

FlvPayloads readFlvPayloads(const std::string& path) {
    FlvPayloads out;
    FlvFile f;
    if (f.open(path) < 0)
        return out;
    while (flv_read_packet(f.ctx(), f.packet()) > 0) {
        const AVPacket* p = f.packet();
        const AVCodecContext* c = f.ctx()->streams[p->stream_index]->codec;
        if (c->codec_id != CODEC_ID_H264) {
            out.sound.emplace_back(p->data, p->data + p->size);
            out.rate = c->sample_rate;
            out.channels = c->channels;
            out.soundConfig.assign(c->extradata, c->extradata + c->extradata_size);
            out.aac = c->codec_id == CODEC_ID_AAC;
            continue;
        }
        Bytes b = annexB(p->data, p->size);
        if (p->flags & PKT_FLAG_KEY) {
            const Bytes sets = parameterSets(c->extradata, c->extradata_size);
            b.insert(b.begin(), sets.begin(), sets.end());
        }
        out.video.push_back(b);
    }
    return out;
}

}  // namespace containertest

namespace {

class FlvFiles : public ::testing::TestWithParam<FlvCase> {
protected:
    void SetUp() override {
        path = makeFile(GetParam());
        truncated = GetParam().codecs.empty();
        want = wholePackets(path, truncated);
        ASSERT_FALSE(want.empty());
    }
    std::string path;
    bool truncated = false;
    std::vector<ProbePacket> want;
};

TEST_P(FlvFiles, PacketsStreamsAndDurationMatchFfprobe) {
    FlvFile f;
    ASSERT_EQ(f.open(path), 0);
    int end = 0;
    EXPECT_EQ(f.readAll(&end), want);
    EXPECT_EQ(end, truncated ? AVERROR_IO : AVERROR_SPIPE);  // a cut payload is refused
    EXPECT_EQ(ourStreams(f.ctx(), GetParam().metadata), probedStreams(path, GetParam().metadata));

    int64_t duration = 0;
    int width = 0, height = 0, rate = 0;
    flv_read_info(path.c_str(), nullptr, &duration, nullptr, nullptr, 0, &width, 1, &height, 1,
                  nullptr, 0, nullptr, 0, &rate, 1);
    const double probed =
        std::stod(ffprobe({"-show_entries", "format=duration", "-of", "csv=p=0"}, path).out);
    EXPECT_EQ(duration, std::llround(probed * 1e6));
    const AVCodecContext* video = f.ctx()->streams[0]->codec;
    if (GetParam().video) {
        EXPECT_EQ(std::vector<int>({width, height, rate}),
                  std::vector<int>({video->width, video->height, video->time_base.den}));
    }
}

TEST_P(FlvFiles, SeekLandsOnNearestKeyFrame) {
    std::vector<int64_t> keys;
    for (const ProbePacket& p : want) {
        if (p.stream == 0 && p.key && GetParam().video)
            keys.push_back(p.dts);
    }
    FlvFile f;
    ASSERT_EQ(f.open(path), 0);
    for (int i = 0; i < 20; i++) {
        const int64_t target =
            (i * 7 % 20) * (want.back().dts + 300) / 19;  // back and forth, past the end
        const int r = flv_seek_frame(f.ctx(), target, 0, 1);
        if (keys.empty() || target < keys[0]) {  // no key frame to land on
            EXPECT_EQ(r, 0);
            continue;
        }
        ASSERT_EQ(r, 1) << target;
        ProbePacket p;
        while (f.readOne(&p) > 0 && p.stream != 0) {
        }
        auto after = std::upper_bound(keys.begin(), keys.end(), target);
        const int64_t before = after[-1];
        const bool nearer_after = after != keys.end() && *after - target <= target - before;
        EXPECT_TRUE(p.key && (p.dts == before || (nearer_after && p.dts == *after)) &&
                    (after == keys.end() || std::abs(p.dts - target) <= *after - target))
            << "target " << target << " got " << p.dts;
    }
}

TEST_P(FlvFiles, BackwardGroupsAreForwardPacketsNewestFirst) {
    FlvFile f;
    ASSERT_EQ(f.open(path, 2), 0);
    int end = 0;
    EXPECT_EQ(f.readAll(&end), expectedBackward(want, GetParam().video));
    EXPECT_EQ(end, AVERROR_SPIPE);
    ProbePacket p;
    EXPECT_EQ(f.readOne(&p), AVERROR_SPIPE);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, FlvFiles, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
