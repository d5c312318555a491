#pragma once

#include <string>
#include <vector>

#include "ProbePackets.h"
#include "TestData.h"
#include "container/avformat.h"

namespace containertest {

using testsupport::readFile;

// Audio with a fixed sample size is delivered in pieces of 64 samples;
// joined back they are ffprobe's chunks.
std::vector<ProbePacket> joinPieces(const std::vector<ProbePacket>& packets);

// Variable-rate audio counts one tick per chunk here, where ffmpeg counts a
// chunk larger than the block alignment as several. Checks ffmpeg's rule on
// its list and hands it back with our timestamps for those packets.
std::vector<ProbePacket> withChunkTimestamps(std::vector<ProbePacket> expected,
                                             container::AVFormatContext* s);

// The recorder-style fixtures (<testdata>/recordings/*.avi) in name order.
std::vector<std::string> recordingFiles();
// The first of them whose name starts with prefix; empty when none does.
std::string recordingFile(const std::string& prefix);

// A generated fixture: a recording (found by name prefix) or a media file.
struct FixtureName {
    const char* name;
    bool recording;
};
std::string fixturePath(const FixtureName& fixture);
// The name as a test parameter name (letters and digits only).
std::string testName(std::string name);

// Opens file with our reader and expects ffprobe's packets one for one
// (gtest failures on any difference).
void expectPacketsMatchFfprobe(const std::string& file);

// Expects our stream headers to match ffprobe's: type, codec tag, time base
// as a fraction, size, sample rate, channels, frame count.
void expectStreamsMatchFfprobe(const std::string& file);

}  // namespace containertest
