// The FLV reader against ffprobe on files the ffmpeg CLI makes. A packet's
// pos is the reader's position when its payload is read (the packet record's
// rule), past the 11-byte tag header and the codec's own bytes in front of
// the payload; ffprobe's pos is the tag header.
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

// Bytes between ffprobe's pos (the tag header) and the payload: the header,
// the flags byte, and the packet type of AAC and H.264 with the latter's
// composition offset.
int payloadOffset(const std::string& codec) {
    return 11 + 1 + (codec == "aac" ? 1 : codec == "h264" ? 4 : 0);
}

// Backward reading's groups from the forward list: newest key frame first,
// the packets between it and the next key frame (the last group runs to the
// file's end) whose dts lie between theirs.
std::vector<ProbePacket> expectedBackward(const std::vector<ProbePacket>& all) {
    std::vector<const ProbePacket*> keys;
    for (const ProbePacket& p : all) {
        if (p.stream == 0 && p.key)
            keys.push_back(&p);
    }
    std::vector<ProbePacket> want;
    for (size_t g = keys.size(); g-- > 0;) {
        const bool last = g + 1 == keys.size();
        for (const ProbePacket& p : all) {
            if (p.pos >= keys[g]->pos && (last || p.pos < keys[g + 1]->pos) &&
                p.dts >= keys[g]->dts && (last || p.dts < keys[g + 1]->dts))
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
        std::istringstream codecs(
            ffprobe({"-show_entries", "stream=codec_name", "-of", "csv=p=0"}, path).out);
        std::vector<int> offset;
        for (std::string codec; std::getline(codecs, codec);)
            offset.push_back(payloadOffset(codec));
        for (ProbePacket& p : want)
            p.pos += offset.at(size_t(p.stream));
        for (const ProbePacket& p : want)
            if (GetParam().video && p.stream == 0 && p.key)  // else stream 0 is sound
                keys.push_back(p.dts);
        ASSERT_FALSE(want.empty());
    }
    std::string path;
    bool truncated = false;
    std::vector<ProbePacket> want;
    std::vector<int64_t> keys;

    // A seek to target lands on the key frame nearest it; before the first
    // one, on the first one.
    void expectSeek(FlvFile& f, int64_t target) {
        const int r = flv_seek_frame(f.ctx(), target, 0, 1);
        if (keys.empty()) {  // no video: nothing to land on, the reader stays
            EXPECT_EQ(r, 0);
            return;
        }
        ASSERT_EQ(r, 1) << target;
        const std::vector<ProbePacket> got =
            f.readAll(nullptr, 1);  // the tag sought is a video one
        ASSERT_EQ(got.size(), 1u) << target;
        auto after = std::upper_bound(keys.begin(), keys.end(), target);
        const int64_t nearest = after == keys.begin() ? keys[0]
                                : after == keys.end() || target - after[-1] < *after - target
                                    ? after[-1]
                                    : *after;
        EXPECT_TRUE(got[0].stream == 0 && got[0].key &&
                    std::abs(got[0].dts - target) == std::abs(nearest - target))
            << target << " " << got[0].dts;
    }
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
        expectSeek(f, target);
    }
}

// From the end of the file, or from inside a last tag that is cut short,
// the reader still seeks; a target before the first key frame (the start
// of the file) lands on it.
TEST_P(FlvFiles, SeeksAfterReadingToTheEnd) {
    FlvFile f;
    ASSERT_EQ(f.open(path), 0);
    for (int64_t target : {int64_t{3000}, int64_t{0}, want.back().dts / 2}) {
        f.readAll();
        expectSeek(f, target);
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

// The AAC sequence header names the rate and the channels (configuration 7
// is eight); the tag flags of AAC always say 44.1 kHz stereo.
TEST(FlvAac, ChannelLayoutsAndRatesMatchFfprobe) {
    static TempDir dir;
    const struct {
        const char* layout;
        int rate;
    } cases[] = {{"mono", 8000}, {"stereo", 22050}, {"5.1", 48000}, {"7.1", 32000}};
    for (const auto& c : cases) {
        const std::string path = dir.file(std::string("aac_") + c.layout + ".flv");
        ASSERT_EQ(ffmpeg({"-f", "lavfi", "-i",
                          "sine=sample_rate=" + std::to_string(c.rate) + ":duration=0.5", "-af",
                          std::string("aformat=channel_layouts=") + c.layout, "-c:a", "aac", path})
                      .exitCode,
                  0);
        FlvFile f;
        ASSERT_EQ(f.open(path), 0);
        ASSERT_EQ(f.readAll(nullptr, 1).size(), 1u);
        const AVCodecContext* a = f.ctx()->streams[0]->codec;
        EXPECT_EQ(
            std::to_string(a->sample_rate) + "," + std::to_string(a->channels) + "\n",
            ffprobe({"-show_entries", "stream=sample_rate,channels", "-of", "csv=p=0"}, path).out)
            << c.layout;
    }
}

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
// The same content remuxed to AVI and read backwards with the AVI reader
// gives the same groups of pictures, newest first. (Sound is left out: the
// AVI remux moves AAC and MP3 timestamps by the encoder delay, so sound at
// a group's edge may fall on the other side there.)
TEST(FlvBackwardVsAvi, SameGroupsOfPictures) {
    for (const char* name : {"h264_aac", "h264_mp3", "no_metadata"}) {
        const std::string flv = flvFixture(name);
        const std::string avi = flv + ".avi";
        ASSERT_EQ(
            ffmpeg({"-y", "-i", flv, "-c", "copy", "-bsf:v", "h264_mp4toannexb", avi}).exitCode, 0);
        FlvFile f;
        ASSERT_EQ(f.open(flv, 1), 0);
        AviFile a;
        ASSERT_EQ(a.openBackward(avi, 1), 0);
        int end = AVERROR_EOF;
        std::vector<ProbePacket> fromAvi;
        while (end == AVERROR_EOF) {  // the AVI reader reports the end of the file inside a group
            const std::vector<ProbePacket> more = a.readAll(&end);
            fromAvi.insert(fromAvi.end(), more.begin(), more.end());
        }
        const auto pictures = [](const std::vector<ProbePacket>& packets) {
            std::string out;
            for (const ProbePacket& p : packets)
                out += p.stream != 0 ? "" : p.key ? "K" : "v";
            return out;
        };
        EXPECT_EQ(pictures(f.readAll()), pictures(fromAvi)) << name;
    }
}
