#include "ReadOracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "AviFile.h"
#include "TestData.h"
#include "container/avidec.h"

using namespace container;

namespace containertest {

std::vector<std::string> recordingFiles() {
    std::vector<std::string> files;
    std::filesystem::path dir = testsupport::testDataDir() + "/recordings";
    if (!std::filesystem::is_directory(dir))
        return files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".avi")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string recordingFile(const std::string& prefix) {
    for (const std::string& file : recordingFiles()) {
        if (std::filesystem::path(file).filename().string().rfind(prefix, 0) == 0)
            return file;
    }
    return "";
}

std::string fixturePath(const FixtureName& fixture) {
    return fixture.recording ? recordingFile(fixture.name)
                             : testsupport::testDataFile(fixture.name);
}

std::string testName(std::string name) {
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

std::vector<ProbePacket> joinPieces(const std::vector<ProbePacket>& packets) {
    std::vector<ProbePacket> chunks;
    for (const ProbePacket& p : packets) {
        if (!chunks.empty() && chunks.back().stream == p.stream &&
            chunks.back().pos + chunks.back().size == p.pos) {
            chunks.back().size += p.size;
            continue;
        }
        chunks.push_back(p);
    }
    return chunks;
}

std::vector<ProbePacket> withChunkTimestamps(std::vector<ProbePacket> expected,
                                             AVFormatContext* s) {
    for (unsigned i = 0; i < s->nb_streams; ++i) {
        AVStream* st = s->streams[i];
        const AVIStream* ast = static_cast<const AVIStream*>(st->priv_data);
        int align = st->codec->block_align;
        if (st->codec->codec_type != CODEC_TYPE_AUDIO || ast->sample_size || align <= 0)
            continue;
        int64_t ordinal = 0, ticks = 0;
        for (ProbePacket& p : expected) {
            if (p.stream != static_cast<int>(i))
                continue;
            EXPECT_EQ(p.dts, ticks) << "ffmpeg's own rule";
            ticks += (p.size + align - 1) / align;
            p.dts = ordinal++;
        }
    }
    return expected;
}

void expectPacketsMatchFfprobe(const std::string& file) {
    SCOPED_TRACE(file);
    AviFile avi;
    ASSERT_EQ(avi.open(file), 0);
    std::vector<ProbePacket> expected = withChunkTimestamps(probePackets(file), avi.ctx());
    ASSERT_FALSE(expected.empty());
    int end = 0;
    std::vector<ProbePacket> got = joinPieces(avi.readAll(&end));
    EXPECT_EQ(end, AVERROR_EOF);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << "packet " << i;
    ProbePacket after;
    EXPECT_EQ(avi.readOne(&after), AVERROR_EOF) << "the end repeats";
}

void expectStreamsMatchFfprobe(const std::string& file) {
    SCOPED_TRACE(file);
    std::vector<ProbeStream> expected = probeStreams(file);
    AviFile avi;
    ASSERT_EQ(avi.open(file), 0);
    AVFormatContext* s = avi.ctx();
    ASSERT_EQ(s->nb_streams, expected.size());
    for (unsigned i = 0; i < s->nb_streams; ++i) {
        AVStream* st = s->streams[i];
        const ProbeStream& e = expected[i];
        SCOPED_TRACE("stream " + std::to_string(i));
        const char* type = st->codec->codec_type == CODEC_TYPE_VIDEO   ? "video"
                           : st->codec->codec_type == CODEC_TYPE_AUDIO ? "audio"
                                                                       : "data";
        EXPECT_EQ(type, e.codec_type);
        EXPECT_EQ(st->codec->codec_tag, e.codec_tag);
        EXPECT_EQ(st->id, static_cast<int>(i));
        // ffprobe reduces the fraction; ours keeps scale/rate as stored.
        EXPECT_EQ(static_cast<int64_t>(st->time_base.num) * e.time_base_den,
                  static_cast<int64_t>(st->time_base.den) * e.time_base_num);
        if (e.codec_type == "video") {
            EXPECT_EQ(st->codec->width, e.width);
            EXPECT_EQ(st->codec->height, e.height);
        }
        if (e.codec_type == "audio") {
            EXPECT_EQ(st->codec->sample_rate, e.sample_rate);
            EXPECT_EQ(st->codec->channels, e.channels);
        }
        if (e.nb_frames >= 0) {
            EXPECT_EQ(st->duration, e.nb_frames);
        }
    }
}

}  // namespace containertest
