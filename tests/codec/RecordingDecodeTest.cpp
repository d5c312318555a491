// The recorder's own files (video, audio and a data stream in one AVI):
// both decoders give what the ffmpeg tool gives, for each codec pairing.
#include <gtest/gtest.h>

#include <QDir>

#include <set>
#include <sstream>

#include "CodecTestSupport.h"
#include "Command.h"
#include "TestData.h"

using namespace codectest;
using namespace testsupport;

namespace {

// One file of each video/audio pairing the fixture writer made, with the
// name of its audio codec.
std::vector<std::pair<std::string, std::string>> onePerPairing() {
    const QDir dir(QString::fromStdString(testDataDir() + "/recordings"));
    std::set<std::string> seen;
    std::vector<std::pair<std::string, std::string>> files;
    for (const QString& name : dir.entryList({"*.avi"}, QDir::Files, QDir::Name)) {
        const std::string file = dir.filePath(name).toStdString();
        // video, audio and data codec, one a line: the pairing
        const std::string pairing =
            ffprobe({"-show_entries", "stream=codec_name", "-of", "default=nw=1:nk=1"}, file).out;
        std::istringstream codecs(pairing);
        std::string video, audio;
        codecs >> video >> audio;
        if (seen.insert(pairing).second)
            files.emplace_back(file, audio);
    }
    return files;
}

TEST(RecordingDecode, VideoAndAudioMatchFfmpeg) {
    const auto files = onePerPairing();
    ASSERT_GE(files.size(), 2u) << "no recorder-style fixtures";
    for (const auto& [file, audio] : files) {
        SCOPED_TRACE(file);
        expectFramesMatchFfmpeg(file);
        ASSERT_TRUE(audio == "aac" || audio == "adpcm_ms") << audio;
        expectPcmMatchesFfmpeg(file, audio == "aac" ? kAac : kMsAdpcm, true);
    }
}

}  // namespace
