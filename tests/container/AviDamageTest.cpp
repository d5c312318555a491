// Damaged files: truncated, bit-flipped, with broken chunk sizes. The reader
// must end every file with a negative result, keep its index and packet
// buffer within what the file justifies, and seek without trouble.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "AviFile.h"
#include "ReadOracle.h"
#include "RiffBuilder.h"
#include "RiffReading.h"
#include "TempDir.h"
#include "TestData.h"
#include "container/avidec.h"

using namespace container;
using namespace containertest;

namespace {

constexpr size_t kPacketLimit = 100000;  // far above any fixture's count: a hang shows as a failure

// Opens, reads everything, seeks a few times, reads backwards; checks the
// bounds.
void exercise(const std::vector<uint8_t>& bytes) {
    AviFile avi;
    avi.openMemory(bytes);
    int end = 0;
    std::vector<ProbePacket> packets = avi.readAll(&end, kPacketLimit);
    ASSERT_LT(end, 0) << "reading must end";
    ASSERT_LT(packets.size(), kPacketLimit);
    int64_t entries = 0;
    for (unsigned i = 0; i < avi.ctx()->nb_streams; ++i)
        entries += avi.ctx()->streams[i]->nb_index_entries;
    EXPECT_LE(entries, static_cast<int64_t>(bytes.size()) / 8 + 1);
    EXPECT_LE(avi.packet()->capacity,
              std::max<int64_t>(kMinPacketBuffer, static_cast<int64_t>(bytes.size())));
    for (int64_t t : {0, 3, 50, 1000}) {
        if (avi_read_seek(avi.ctx(), 0, t, AVSEEK_FLAG_BACKWARD, 1) == 0)
            avi.readAll(nullptr, 50);
    }
    AviFile backward;
    backward.openMemory(bytes, static_cast<int>(bytes.size() % AVI_PACKET_SLOTS));
    packets = backward.readAll(&end, kPacketLimit);
    ASSERT_LT(end, 0) << "backward reading must end";
    EXPECT_LE(packets.size(), bytes.size() / 8);
}

std::vector<uint8_t> fixture(const char* name) {
    std::string path = testsupport::testDataFile(name);
    EXPECT_FALSE(path.empty()) << name;
    return testsupport::readFileBytes(path);
}

// The first recorder file (with a data stream) in name order.
std::vector<uint8_t> recording() {
    std::vector<std::string> files = recordingFiles();
    return files.empty() ? std::vector<uint8_t>() : testsupport::readFileBytes(files.front());
}

TEST(AviDamage, TruncatedAnywhere) {
    for (const char* name : {"h264_adpcm_ms.avi", "hevc_adpcm_ms.avi"}) {
        std::vector<uint8_t> file = fixture(name);
        ASSERT_FALSE(file.empty());
        std::vector<size_t> cuts;
        for (size_t n = 0; n < 2048 && n < file.size(); n += 7)
            cuts.push_back(n);
        for (size_t k = 1; k < 64; ++k)
            cuts.push_back(file.size() * k / 64);
        for (size_t n = file.size() - 600; n < file.size(); n += 13)
            cuts.push_back(n);  // inside idx1
        for (size_t cut : cuts) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            exercise(std::vector<uint8_t>(file.begin(), file.begin() + cut));
        }
    }
}

// A recorder that loses power leaves a cut last chunk and no idx1. The scan
// never accepts a chunk that runs past the end of the file, so that chunk is
// dropped where ffprobe delivers its first half; all else is equal.
TEST(AviDamage, TruncatedLastChunkIsDropped) {
    std::vector<uint8_t> file = fixture("h264_aac.avi");
    AviFile whole;
    ASSERT_EQ(whole.openMemory(file), 0);
    std::vector<ProbePacket> all = whole.readAll();
    ASSERT_GT(all.size(), 3u);
    const ProbePacket& last = all.back();
    testsupport::TempDir dir;
    std::string path = dir.file("cut.avi");
    testsupport::writeFile(path, file, size_t(last.pos + last.size / 2));
    std::vector<ProbePacket> expected = probePackets(path);
    ASSERT_EQ(expected.size(), all.size());
    EXPECT_EQ(expected.back().size, last.size / 2);
    expected.pop_back();

    AviFile avi;
    ASSERT_EQ(avi.open(path), 0);
    int end = 0;
    std::vector<ProbePacket> got = avi.readAll(&end);
    EXPECT_EQ(end, AVERROR_EOF);
    EXPECT_EQ(got, expected);
}

// Non-interleaved, audio chunks of 100 bytes with a sample size of 1024:
// their index timestamps collapse onto one entry. Each chunk the index
// names is read at most once and the walk ends.
TEST(AviDamage, CollapsedIndexTimestampsEndTheWalk) {
    std::vector<uint8_t> file = collapsedIndexAvi();
    AviFile avi;
    ASSERT_EQ(avi.openMemory(file), 0);
    ASSERT_EQ(avi.avi()->non_interleaved, 1);
    int end = 0;
    std::vector<ProbePacket> packets = avi.readAll(&end, kPacketLimit);
    EXPECT_EQ(end, AVERROR_EOF);
    std::set<int64_t> positions;
    for (const ProbePacket& p : packets)
        EXPECT_TRUE(positions.insert(p.pos).second) << "chunk at " << p.pos << " read again";
    EXPECT_EQ(std::count_if(packets.begin(), packets.end(),
                            [](const ProbePacket& p) { return p.stream == 0; }),
              10);
    exercise(file);
}

struct SizeCase {
    const char* name;
    uint32_t (*size)(uint32_t old);
};

class ChunkSize : public ::testing::TestWithParam<SizeCase> {};

// Every chunk of a recording in turn gets the broken size.
TEST_P(ChunkSize, NeverCrashesOrHangs) {
    std::vector<uint8_t> file = recording();
    ASSERT_FALSE(file.empty());
    std::vector<size_t> sizeFields;
    const char* tags[] = {"RIFF", "LIST", "avih", "strh", "strf", "00dc", "01wb",
                          "02tx", "idx1", "JUNK", "indx", "dmlh", "vprp"};
    for (size_t i = 0; i + 8 <= file.size() && sizeFields.size() < 60; ++i) {
        for (const char* tag : tags) {
            if (std::equal(tag, tag + 4, file.begin() + static_cast<std::ptrdiff_t>(i)))
                sizeFields.push_back(i + 4);
        }
    }
    ASSERT_GT(sizeFields.size(), 10u);
    std::string text(file.begin(), file.end());
    ASSERT_NE(text.rfind("idx1"), std::string::npos);
    sizeFields.push_back(text.rfind("idx1") + 4);
    for (size_t at : sizeFields) {
        std::vector<uint8_t> copy = file;
        uint32_t old = testsupport::le32(copy, at);
        uint32_t size = GetParam().size(old);
        for (int b = 0; b < 4; ++b)
            copy[at + b] = static_cast<uint8_t>(size >> (8 * b));
        SCOPED_TRACE("size field at " + std::to_string(at));
        exercise(copy);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ChunkSize,
    ::testing::Values(SizeCase{"zero", [](uint32_t) { return 0u; }},
                      SizeCase{"odd", [](uint32_t s) { return s | 1u; }},
                      SizeCase{"small", [](uint32_t) { return 3u; }},
                      SizeCase{"negative", [](uint32_t s) { return s | 0x80000000u; }},
                      SizeCase{"huge", [](uint32_t) { return 0xFFFFFFF8u; }},
                      SizeCase{"justOver2G", [](uint32_t) { return 0x80000001u; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
