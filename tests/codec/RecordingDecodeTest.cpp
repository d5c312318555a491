// The recorder's own files (video, audio and a data stream in one AVI):
// both decoders give what the ffmpeg tool gives, for each codec pairing.
#include <gtest/gtest.h>

#include <QDir>

#include <memory>
#include <set>

#include "CodecTestSupport.h"
#include "Command.h"
#include "TestData.h"
#include "codec/ACAACDecoder.h"
#include "codec/ACADPCMDecoder.h"
#include "codec/ACH264Decoder.h"

using namespace codectest;
using namespace testsupport;

namespace {

// The container's audio ids, which the audio worker passes on unchanged.
int audioCodecId(const std::string& name) {
    if (name == "aac")
        return 0x15002;
    if (name == "adpcm_ms")
        return 0x11006;
    return 0;
}

std::string codecName(const std::string& file, const char* stream) {
    std::string name = ffprobe({"-select_streams", stream, "-show_entries", "stream=codec_name",
                                "-of", "default=nw=1:nk=1"},
                               file)
                           .out;
    return name.substr(0, name.find('\n'));
}

// One file of each video/audio pairing the fixture writer made.
std::vector<std::string> onePerPairing() {
    const QDir dir(QString::fromStdString(testDataDir() + "/recordings"));
    std::set<std::string> seen;
    std::vector<std::string> files;
    for (const QString& name : dir.entryList({"*.avi"}, QDir::Files, QDir::Name)) {
        const std::string file = dir.filePath(name).toStdString();
        // every stream's codec, one a line: the pairing
        const std::string pairing =
            ffprobe({"-show_entries", "stream=codec_name", "-of", "default=nw=1:nk=1"}, file).out;
        if (seen.insert(pairing).second)
            files.push_back(file);
    }
    return files;
}

TEST(RecordingDecode, VideoAndAudioMatchFfmpeg) {
    const std::vector<std::string> files = onePerPairing();
    ASSERT_GE(files.size(), 2u) << "no recorder-style fixtures";
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        ACH264Decoder video;
        const Decoded pictures = decodeVideo(video, readPackets(file, "v:0"), probeVideo(file));
        std::vector<std::string> sums;
        for (const Bytes& f : pictures.frames)
            sums.push_back(md5Hex(f.data(), f.size()));
        EXPECT_EQ(sums, ffmpegFrameMd5(file, {"-map", "0:v:0", "-fps_mode", "passthrough"}));

        const int id = audioCodecId(codecName(file, "a:0"));
        ASSERT_NE(id, 0);
        std::unique_ptr<ACDecoder> audio;
        if (id == 0x15002)
            audio = std::make_unique<ACAACDecoder>();
        else
            audio = std::make_unique<ACADPCMDecoder>();
        const std::vector<Bytes> packets = readPackets(file, "a:0");
        AudioStreamInfo info = probeAudio(file);
        info.blockAlign = id == 0x15002 ? 0 : int(packets.at(0).size());
        audio->setStreamInfo(info);
        Bytes pcm;
        for (const Bytes& p : packets) {
            int n = 0;
            const unsigned char* out =
                audio->DecodeBuffer(id, p.data(), int(p.size()), &n, 0, 0, nullptr, 0);
            if (out)
                pcm.insert(pcm.end(), out, out + n);
        }
        EXPECT_TRUE(pcm == ffmpegOutput(file, {"-map", "0:a:0", "-ac", "1", "-f", "s16le"}));
    }
}

}  // namespace
