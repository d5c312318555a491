// Independent check of the walker: ffmpeg's FLV muxer writes its onMetaData
// script tag in the same shape as our records (an AMF0 string name, then an
// ECMA array). The tag is cut out of the file here, and what the walker reads
// from it must match what ffprobe reports.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "Command.h"
#include "RecordingParse.h"
#include "TempDir.h"
#include "TestData.h"

using namespace testsupport;

namespace {

constexpr uint8_t kScriptTag = 18;
constexpr size_t kTagHeaderSize = 11;
constexpr size_t kPreviousTagSizeField = 4;

uint32_t be(const std::vector<uint8_t>& bytes, size_t at, int width) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        v = (v << 8) | bytes.at(at + i);
    }
    return v;
}

// The payload of the first tag, which ffmpeg's muxer makes the onMetaData
// script tag; empty when the file starts otherwise.
std::vector<uint8_t> firstScriptTag(const std::vector<uint8_t>& flv) {
    if (flv.size() < 9 || flv[0] != 'F' || flv[1] != 'L' || flv[2] != 'V') {
        return {};
    }
    const size_t at = be(flv, 5, 4) + kPreviousTagSizeField;
    const size_t body = at + kTagHeaderSize;
    if (body > flv.size() || (flv[at] & 0x1f) != kScriptTag ||
        body + be(flv, at + 1, 3) > flv.size()) {
        return {};
    }
    return std::vector<uint8_t>(flv.begin() + body, flv.begin() + body + be(flv, at + 1, 3));
}

// ffprobe's "key=value" lines as a map.
std::map<std::string, std::string> probeFormat(const std::string& path) {
    CommandResult r = ffprobe({"-show_format", "-of", "default=nw=1"}, path);
    EXPECT_EQ(r.exitCode, 0);
    std::map<std::string, std::string> values;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return values;
}

}  // namespace

TEST(FlvMetadata, WalkerReadsWhatFfprobeReports) {
    TempDir dir;
    const std::string flv = dir.file("meta.flv");
    const std::vector<std::string> args{
        "-f",        "lavfi",
        "-i",        "testsrc=size=160x120:rate=25:duration=1",
        "-f",        "lavfi",
        "-i",        "sine=frequency=440:sample_rate=22050:duration=1",
        "-c:v",      "flv1",
        "-c:a",      "adpcm_swf",
        "-metadata", "title=Route 66 \xe2\x80\x93 Nordkapp",
        "-metadata", "comment=B123",
        "-metadata", "artist=" + std::string(200, 'a'),
        "-f",        "flv",
        flv};
    ASSERT_EQ(ffmpeg(args).exitCode, 0);

    const std::vector<uint8_t> payload = firstScriptTag(readFileBytes(flv));
    ASSERT_FALSE(payload.empty());
    // The shape of a record: byte 2, the name, then an ECMA array.
    EXPECT_EQ(Parse::RecordName(payload.data(), static_cast<int>(payload.size())), "onMetaData");
    ASSERT_GT(payload.size(), 13u);
    EXPECT_EQ(payload[13], 8);

    RecordingParse p;
    ASSERT_EQ(p.ParseRecord(payload.data(), static_cast<int>(payload.size())), 0);
    std::map<std::string, Report> byKey;
    for (const Report& r : p.reports) {
        byKey[r.key] = r;
    }

    const std::map<std::string, std::string> probe = probeFormat(flv);
    int tags = 0;
    for (const auto& [name, value] : probe) {
        if (name.rfind("TAG:", 0) != 0) {
            continue;
        }
        const std::string key = name.substr(4);
        ASSERT_TRUE(byKey.count(key)) << key;
        EXPECT_EQ(byKey[key].amfType, 2) << key;
        EXPECT_EQ(byKey[key].str, value) << key;
        ++tags;
    }
    EXPECT_EQ(tags, 4);  // title, comment, artist and the muxer's encoder
    for (const auto& [key, report] : byKey) {
        if (report.amfType == 2) {
            EXPECT_TRUE(probe.count("TAG:" + key)) << key;
        }
    }
    ASSERT_TRUE(byKey.count("duration"));
    EXPECT_EQ(QString::number(byKey["duration"].num, 'f', 6).toStdString(), probe.at("duration"));
    ASSERT_TRUE(byKey.count("filesize"));
    EXPECT_EQ(std::to_string(static_cast<long long>(byKey["filesize"].num)), probe.at("size"));
    // The muxer's mono flag is an AMF0 boolean.
    ASSERT_TRUE(byKey.count("stereo"));
    EXPECT_EQ(byKey["stereo"].amfType, 1);
    EXPECT_EQ(byKey["stereo"].num, 0.0);
}
