// The clip writer, judged by ffprobe and ffmpeg: clips made from a fixture's
// packets must probe with the written codecs, decode without errors and
// carry the same video packets as their source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "AviFile.h"
#include "ClipFile.h"
#include "Command.h"
#include "ReadOracle.h"
#include "RiffReading.h"
#include "TempDir.h"
#include "TestData.h"
#include "container/avidec.h"
#include "container/avienc.h"
#include "container/aviobuf.h"
#include "container/mem.h"
#include "container/riff.h"

using namespace container;
using namespace containertest;
using namespace testsupport;

namespace {

// stdout and stderr of a shell-free command line, merged.
std::string mergedOutput(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv)
        line += shellQuote(a) + " ";
    return runCommand({"sh", "-c", line + "2>&1"}).out;
}

std::string codecNames(const std::string& path) {
    return ffprobe({"-show_entries", "stream=codec_name", "-of", "csv=p=0"}, path).out;
}

std::string videoFrameMd5(const std::string& path) {
    CommandResult r = ffmpeg({"-i", path, "-map", "0:v", "-c", "copy", "-f", "framemd5", "-"});
    std::string kept;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#software", 0) != 0)
            kept += line + "\n";
    }
    return kept;
}

std::vector<ProbePacket> ofStream(const std::vector<ProbePacket>& all, int stream) {
    std::vector<ProbePacket> some;
    for (const ProbePacket& p : all) {
        if (p.stream == stream)
            some.push_back(p);
    }
    return some;
}

// The source's streams as our reader declares them, copied into clip.
void copyStreams(AVFormatContext* source, ClipFile* clip) {
    for (unsigned i = 0; i < source->nb_streams; i++) {
        const AVStream* from = source->streams[i];
        AVCodecContext* c = clip->add(from->codec->codec_type)->codec;
        *c = *from->codec;
        c->palctrl = nullptr;
        c->time_base = from->time_base;
        size_t size = static_cast<size_t>(c->extradata_size);
        c->extradata = static_cast<uint8_t*>(av_mallocz(size + FF_INPUT_BUFFER_PADDING_SIZE));
        if (size)
            std::memcpy(c->extradata, from->codec->extradata, size);
    }
}

// A clip with a 320x240 video stream at 25 fps and an MS ADPCM stream. The
// video fourcc is one no decoder claims, so that ffprobe lists made-up
// payloads without trying to parse them.
void addVideoAndAdpcm(ClipFile* clip) {
    clip->addVideo(MKTAG('O', 'R', 'D', 'X'), 320, 240);
    clip->addAudio(CODEC_ID_ADPCM_MS, 2, 64000, 256);
}

// Writes such a clip to path: setup may change the streams before the
// header, body writes the packets.
void writeClip(const std::string& path, const std::function<void(ClipFile&)>& body,
               const std::function<void(ClipFile&)>& setup = nullptr) {
    ClipFile clip;
    ASSERT_TRUE(clip.open(path));
    addVideoAndAdpcm(&clip);
    if (setup)
        setup(clip);
    ASSERT_EQ(avi_write_header(clip.ctx()), 0);
    body(clip);
    ASSERT_EQ(clip.finish(), 0);
}

std::string payload(size_t size, int seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; i++)
        s[i] = static_cast<char>((i * 7 + seed * 13) & 0xFF);
    return s;
}

// ---------------------------------------------------------------------------

class WriterRoundTrip : public ::testing::TestWithParam<FixtureName> {};

// Copies every packet of the source (as ffprobe lists them, payloads read
// straight from the file; ffprobe's pos is the payload's) into a clip.
TEST_P(WriterRoundTrip, ClipProbesDecodesAndKeepsTheVideoPackets) {
    const std::string src = fixturePath(GetParam());
    ASSERT_FALSE(src.empty()) << GetParam().name << " was not generated";
    const std::string bytes = readFile(src);
    AviFile source;
    ASSERT_EQ(source.open(src), 0);
    const unsigned nb_streams = source.ctx()->nb_streams;
    const std::vector<ProbePacket> packets = probePackets(src);
    ASSERT_FALSE(packets.empty());

    TempDir dir;
    const std::string clipPath = dir.file("clip.avi");
    {
        ClipFile clip;
        ASSERT_TRUE(clip.open(clipPath));
        copyStreams(source.ctx(), &clip);
        ASSERT_EQ(avi_write_header(clip.ctx()), 0);
        for (const ProbePacket& p : packets) {
            ASSERT_EQ(clip.write(p.stream, p.dts, p.key, bytes.substr(p.pos, p.size)), 0);
        }
        ASSERT_EQ(clip.finish(), 0);
    }

    EXPECT_EQ(codecNames(clipPath), codecNames(src));
    std::vector<ProbeStream> want = probeStreams(src);
    std::vector<ProbeStream> got = probeStreams(clipPath);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].codec_type, want[i].codec_type) << "stream " << i;
        EXPECT_EQ(got[i].codec_tag, want[i].codec_tag) << "stream " << i;
        EXPECT_EQ(got[i].sample_rate, want[i].sample_rate) << "stream " << i;
        EXPECT_EQ(got[i].channels, want[i].channels) << "stream " << i;
        EXPECT_EQ(got[i].width, want[i].width) << "stream " << i;
    }
    EXPECT_EQ(
        mergedOutput({ffmpegPath(), "-nostdin", "-v", "error", "-i", clipPath, "-f", "null", "-"}),
        "");
    EXPECT_EQ(videoFrameMd5(clipPath), videoFrameMd5(src));

    // Our reader finds the same payloads per stream and ffprobe the same
    // sizes; for video both the same times and key flags.
    AviFile back;
    ASSERT_EQ(back.open(clipPath), 0);
    std::vector<ProbePacket> read;
    std::vector<std::string> payloads;
    ProbePacket p;
    while (back.readOne(&p) >= 0) {
        read.push_back(p);
        payloads.emplace_back(reinterpret_cast<char*>(back.packet()->data), p.size);
    }
    const std::vector<ProbePacket> written = probePackets(clipPath);
    ASSERT_EQ(read.size(), packets.size());
    ASSERT_EQ(written.size(), packets.size());
    for (unsigned n = 0; n < nb_streams; n++) {
        const int stream = static_cast<int>(n);
        std::vector<ProbePacket> a = ofStream(packets, stream);
        std::vector<ProbePacket> b = ofStream(written, stream);
        std::vector<size_t> ours;
        for (size_t i = 0; i < read.size(); i++) {
            if (read[i].stream == stream)
                ours.push_back(i);
        }
        ASSERT_EQ(a.size(), b.size()) << "stream " << n;
        ASSERT_EQ(a.size(), ours.size()) << "stream " << n;
        for (size_t i = 0; i < a.size(); i++) {
            SCOPED_TRACE("stream " + std::to_string(n) + " packet " + std::to_string(i));
            EXPECT_EQ(payloads[ours[i]], bytes.substr(a[i].pos, a[i].size));
            EXPECT_EQ(b[i].size, a[i].size);
            if (source.ctx()->streams[n]->codec->codec_type != CODEC_TYPE_VIDEO)
                continue;
            for (const ProbePacket* q : {&b[i], &read[ours[i]]}) {
                EXPECT_EQ(q->dts, a[i].dts);
                EXPECT_EQ(q->key, a[i].key);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WriterRoundTrip,
                         ::testing::Values(FixtureName{"h264_aac.avi", false},
                                           FixtureName{"h264_bframes_aac.avi", false},
                                           FixtureName{"hevc_adpcm_ms.avi", false},
                                           FixtureName{"h264_adpcm_ima.avi", false},
                                           FixtureName{"h264_adts_aac.avi", false},
                                           FixtureName{"20230514083000_NM", true},
                                           FixtureName{"20230514084500_GS", true}),
                         [](const auto& info) { return testName(info.param.name); });

// A slow time-lapse video (one frame per 4000 s): the frame period needs 64
// bits on its way into the 32-bit header field.
TEST(AviWriter, LongFramePeriod) {
    TempDir dir;
    const std::string path = dir.file("timelapse.avi");
    writeClip(
        path, [](ClipFile& clip) { ASSERT_EQ(clip.write(0, 0, true, payload(10, 0)), 0); },
        [](ClipFile& clip) {
            clip.ctx()->streams[0]->codec->time_base = {4000, 1};
        });
    const std::string d = readFile(path);
    const std::vector<RiffChunk> avih = riffChunks(d, "avih");
    ASSERT_EQ(avih.size(), 1u);
    EXPECT_EQ(le32(d, avih[0].pos + 8), 4000000000u);
    std::vector<ProbeStream> streams = probeStreams(path);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].time_base_num, 4000);
    EXPECT_EQ(streams[0].time_base_den, 1);
}

// INFO texts from the metadata ("Author" as the artist, empty ones left
// out) and the software name, which a bit-exact stream leaves out.
TEST(AviWriter, InfoTextsAndSoftwareName) {
    TempDir dir;
    for (bool bitexact : {false, true}) {
        const std::string path = dir.file(bitexact ? "exact.avi" : "plain.avi");
        writeClip(
            path, [](ClipFile& clip) { ASSERT_EQ(clip.write(0, 0, true, payload(100, 1)), 0); },
            [&](ClipFile& clip) {
                if (bitexact)
                    clip.ctx()->streams[0]->codec->flags |= CODEC_FLAG_BITEXACT;
                av_metadata_set(&clip.ctx()->metadata, "Title", "Ride home");
                av_metadata_set(&clip.ctx()->metadata, "Comment", "");
                av_metadata_set(&clip.ctx()->metadata, "Author", "Cam 1");
            });
        EXPECT_EQ(
            ffprobe({"-show_entries", "format_tags=title,artist", "-of", "csv=p=0"}, path).out,
            "Ride home,Cam 1\n");
        const std::string d = readFile(path);
        EXPECT_TRUE(riffChunks(d, "ICMT").empty());
        const std::vector<RiffChunk> isft = riffChunks(d, "ISFT");
        ASSERT_EQ(isft.size(), bitexact ? 0u : 1u);
        if (!bitexact) {
            EXPECT_EQ(d.substr(isft[0].pos + 8, isft[0].size), std::string("Lavf52.31.0") + '\0');
        }
    }
}

TEST(AviWriter, RejectsWhatItCannotWrite) {
    TempDir dir;
    {
        ClipFile clip;
        ASSERT_TRUE(clip.open(dir.file("subtitle.avi")));
        clip.add(CODEC_TYPE_SUBTITLE);
        EXPECT_EQ(avi_write_header(clip.ctx()), -1);
    }
    for (unsigned tag : {0u, 0x10000u}) {  // no WAVEFORMATEX tag
        ClipFile clip;
        ASSERT_TRUE(clip.open(dir.file("untagged.avi")));
        addVideoAndAdpcm(&clip);
        clip.ctx()->streams[1]->codec->codec_tag = tag;
        EXPECT_EQ(avi_write_header(clip.ctx()), -1) << tag;
    }
    {
        ClipFile clip;
        ASSERT_TRUE(clip.open(dir.file("packets.avi")));
        addVideoAndAdpcm(&clip);
        EXPECT_EQ(clip.write(0, 0, true, "abc"), -1);  // before the header
        ASSERT_EQ(avi_write_header(clip.ctx()), 0);
        EXPECT_EQ(clip.write(2, 0, true, "abc"), -1);
        EXPECT_EQ(clip.write(-1, 0, true, "abc"), -1);
        EXPECT_EQ(clip.mux()->packet_count[0], 0);
        EXPECT_EQ(clip.mux()->packet_count[1], 0);
    }
}

// A dts ahead of the chunk count is filled with empty chunks, so the frame
// keeps its time; an absurd dts fills a bounded number only.
TEST(AviWriter, TimestampGapsAreFilledWithinBounds) {
    TempDir dir;
    const std::string path = dir.file("gap.avi");
    writeClip(path, [](ClipFile& clip) {
        ASSERT_EQ(clip.write(0, 3, true, payload(50, 0)), 0);
        ASSERT_EQ(clip.write(0, 4, false, payload(50, 1)), 0);
        ASSERT_EQ(clip.write(0, 10, false, payload(50, 2)), 0);
        EXPECT_EQ(clip.mux()->packet_count[0], 11);
        ASSERT_EQ(clip.write(0, INT64_MAX / 2, false, payload(50, 3)), 0);
        EXPECT_LT(clip.mux()->packet_count[0], 1 << 20);
    });
    std::vector<ProbePacket> probed = probePackets(path);
    ASSERT_EQ(probed.size(), 4u);
    EXPECT_EQ(probed[0].dts, 3);
    EXPECT_EQ(probed[1].dts, 4);
    EXPECT_EQ(probed[2].dts, 10);
    EXPECT_LT(readFile(path).size(), 16u << 20);
}

// The streams a clip cut declares: the source's H.264 video and its time
// base, and sound declared as MS ADPCM with 2036-byte blocks whatever the
// source holds. The stream headers come out as 1/25 and 509/2000.
TEST(AviWriter, ClipCutStreams) {
    const std::string src = testDataFile("h264_adpcm_ms.avi");
    ASSERT_FALSE(src.empty());
    const std::string bytes = readFile(src);
    TempDir dir;
    const std::string path = dir.file("cut.avi");
    int video = 0, audio = 0;
    {
        ClipFile clip;
        ASSERT_TRUE(clip.open(path));
        clip.addVideo(MKTAG('h', '2', '6', '4'), 320, 240)->codec_id = CODEC_ID_H264;
        clip.addAudio(CODEC_ID_ADPCM_MS, 2, 64000, 2036)->stream_codec_tag = 1;
        clip.ctx()->streams[1]->time_base = {509, 2000};
        ASSERT_EQ(avi_write_header(clip.ctx()), 0);
        for (const ProbePacket& p : probePackets(src)) {
            // the cutter's packets carry no timestamps
            ASSERT_EQ(clip.write(p.stream, 0, p.key, bytes.substr(p.pos, p.size)), 0);
            if (p.stream == 0)
                video++;
            else
                audio += p.size;
        }
        ASSERT_EQ(clip.finish(), 0);
    }
    std::vector<ProbeStream> streams = probeStreams(path);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].time_base_num, 1);
    EXPECT_EQ(streams[0].time_base_den, 25);
    EXPECT_EQ(streams[0].nb_frames, video);
    EXPECT_EQ(streams[1].time_base_num, 509);
    EXPECT_EQ(streams[1].time_base_den, 2000);
    EXPECT_EQ(streams[1].nb_frames, audio / 2036);
    EXPECT_EQ(codecNames(path), "h264\nadpcm_ms\n");
    // The main header counts the frames of the first part, at 40 ms each.
    const std::string d = readFile(path);
    const std::vector<RiffChunk> avih = riffChunks(d, "avih");
    ASSERT_EQ(avih.size(), 1u);
    EXPECT_EQ(le32(d, avih[0].pos + 8 + 16), uint32_t(video));
    EXPECT_EQ(le32(d, avih[0].pos + 8), 40000u);
}

// A data stream takes its time base like video, never a rate of 0; without
// one of its own it keeps the stream's.
TEST(AviWriter, DataStreamsKeepTheirTimeBase) {
    TempDir dir;
    const std::string path = dir.file("data.avi");
    writeClip(
        path,
        [](ClipFile& clip) {
            for (int i = 0; i < 5; i++) {
                ASSERT_EQ(clip.write(0, i, i == 0, payload(64, i)), 0);
                ASSERT_EQ(clip.write(2, i, true, payload(21, i)), 0);
                ASSERT_EQ(clip.write(3, i, true, payload(9, i)), 0);
            }
        },
        [](ClipFile& clip) {
            clip.add(CODEC_TYPE_DATA)->codec->time_base = {1, 10};
            AVStream* bare = clip.add(CODEC_TYPE_DATA);
            bare->codec->time_base = {0, 1};
            bare->time_base = {1, 1000};
        });
    std::vector<ProbeStream> streams = probeStreams(path);
    ASSERT_EQ(streams.size(), 4u);
    EXPECT_EQ(streams[2].time_base_num * 10, streams[2].time_base_den);
    EXPECT_EQ(streams[3].time_base_num * 1000, streams[3].time_base_den);
    std::vector<ProbePacket> probed = probePackets(path);
    EXPECT_EQ(std::count_if(probed.begin(), probed.end(),
                            [](const ProbePacket& p) { return p.stream >= 2; }),
              10);
}

// A writer that cannot seek writes no indexes and leaves the lengths open;
// ffprobe still reads every chunk.
TEST(AviWriter, StreamedOutputHasNoIndex) {
    TempDir dir;
    const std::string path = dir.file("streamed.avi");
    writeClip(
        path,
        [](ClipFile& clip) {
            for (int i = 0; i < 20; i++) {
                ASSERT_EQ(clip.write(0, i, i % 10 == 0, payload(300 + i, i)), 0);
                ASSERT_EQ(clip.write(1, i, true, payload(256, i)), 0);
            }
        },
        [](ClipFile& clip) { clip.ctx()->pb->is_streamed = 1; });
    const std::string d = readFile(path);
    for (const char* tag : {"idx1", "indx", "odml"})
        EXPECT_TRUE(riffChunks(d, tag).empty()) << tag;
    EXPECT_EQ(probePackets(path).size(), 40u);
}

TEST(AviWriter, TrailerReportsTheWriteError) {
    ClipFile clip;
    ASSERT_TRUE(clip.open("/dev/full"));
    addVideoAndAdpcm(&clip);
    ASSERT_EQ(avi_write_header(clip.ctx()), 0);
    ASSERT_EQ(clip.write(0, 0, true, payload(100000, 0)), 0);
    EXPECT_LT(clip.finish(), 0);
}

// Giving up an unfinished clip closes its file and frees its index blocks
// (the sanitizer build checks the memory).
TEST(AviWriter, AbortClosesAnUnfinishedClip) {
    TempDir dir;
    const std::string path = dir.file("unfinished.avi");
    ClipFile clip;
    ASSERT_TRUE(clip.open(path));
    addVideoAndAdpcm(&clip);
    ASSERT_EQ(avi_write_header(clip.ctx()), 0);
    for (int i = 0; i < 30; i++)
        ASSERT_EQ(clip.write(0, i, i == 0, payload(500, i)), 0);
    EXPECT_EQ(avi_write_abort(clip.ctx()), 0);
    EXPECT_EQ(clip.ctx()->pb, nullptr);
    EXPECT_EQ(clip.mux()->indexes[0].cluster, nullptr);
    EXPECT_EQ(clip.mux()->indexes[0].ents_allocated, 0);
    EXPECT_GE(readFile(path).size(), 30u * 508);
    EXPECT_EQ(avi_write_abort(clip.ctx()), 0);  // a second abort has nothing left to do
}

// Chunks of odd size are padded to an even length: walking the movi list
// chunk by chunk, by the sizes alone, meets every chunk and lands on its end.
TEST(AviWriter, OddChunksArePaddedSoTheMoviListWalks) {
    TempDir dir;
    const std::string path = dir.file("odd.avi");
    std::vector<uint32_t> sizes;
    writeClip(path, [&](ClipFile& clip) {
        for (int i = 0; i < 12; i++) {
            const size_t size = 101 + 2 * size_t(i) + size_t(i % 3 == 0);  // mostly odd
            ASSERT_EQ(clip.write(0, i, i == 0, payload(size, i)), 0);
            ASSERT_EQ(clip.write(1, i, true, payload(257, i)), 0);
            sizes.insert(sizes.end(), {uint32_t(size), 257u});
        }
    });
    const std::string d = readFile(path);
    const std::vector<RiffChunk> movi = riffChunks(d, "movi");
    ASSERT_EQ(movi.size(), 1u);
    const size_t end = movi[0].pos + 8 + movi[0].size;
    std::vector<uint32_t> walked;
    size_t at = movi[0].pos + 12;
    while (at + 8 <= end) {
        const std::string tag = d.substr(at, 4);
        const uint32_t size = le32(d, at + 4);
        if (tag == "00dc" || tag == "01wb")
            walked.push_back(size);
        else
            EXPECT_TRUE(tag == "JUNK" || tag == "LIST" || tag.substr(0, 2) == "ix") << tag;
        at += 8 + size + (size & 1);
    }
    EXPECT_EQ(at, end);
    EXPECT_EQ(walked, sizes);
}

}  // namespace
