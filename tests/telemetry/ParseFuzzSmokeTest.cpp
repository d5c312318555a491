// A short, deterministic run of the fuzz target's body in every build, so the
// sanitizer builds walk malformed records too: the seed records and many
// mutations of them (changed bytes, cut records, spliced halves).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "TestData.h"
#include "telemetry/GSensorParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> readSeed(const char* name) {
    const std::string bytes =
        testsupport::readFile(testsupport::sourceDir() + "/tests/telemetry/fuzz-seeds/" + name);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, const std::vector<uint8_t>& other,
                            std::mt19937& random) {
    switch (random() % 3) {
        case 0:
            for (int i = 1 + random() % 4; i > 0 && !bytes.empty(); --i) {
                bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
            }
            break;
        case 1:
            bytes.resize(random() % (bytes.size() + 1));
            break;
        default:
            bytes.resize(random() % (bytes.size() + 1));
            bytes.insert(bytes.end(), other.begin() + random() % (other.size() + 1), other.end());
            break;
    }
    return bytes;
}

}  // namespace

TEST(ParseFuzzSmoke, SeedsParseAndMutationsStayInBounds) {
    std::vector<std::vector<uint8_t>> seeds;
    for (const char* name : {"gps.bin", "gsensor.bin", "mixed.bin"}) {
        seeds.push_back(readSeed(name));
        ASSERT_FALSE(seeds.back().empty()) << name;
        GSensorParse sensor;
        EXPECT_EQ(sensor.ParseRecord(seeds.back().data(), static_cast<int>(seeds.back().size())), 0)
            << name;
    }
    std::mt19937 random(20231205);
    for (int i = 0; i < 30000; ++i) {
        const std::vector<uint8_t>& seed = seeds[random() % seeds.size()];
        const std::vector<uint8_t>& other = seeds[random() % seeds.size()];
        const std::vector<uint8_t> input = mutate(seed, other, random);
        ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
    }
}
