#include "TestData.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

namespace {

std::string envOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    if (value && *value)
        return value;
    if (fallback)
        return fallback;
    throw std::runtime_error(std::string("environment variable not set: ") + name);
}

}  // namespace

std::string testDataDir() {
    return envOr("ORDAVEX_TESTDATA", nullptr);
}

std::string testDataFile(const std::string& name) {
    std::filesystem::path path = std::filesystem::path(testDataDir()) / name;
    return std::filesystem::exists(path) ? path.string() : std::string();
}

std::string sourceDir() {
    return envOr("ORDAVEX_SOURCE_DIR", nullptr);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    const std::string bytes = readFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void writeFile(const std::string& path, ByteSpan bytes, size_t n) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data), std::streamsize(std::min(n, bytes.size)));
}

std::string readFileRange(const std::string& path, uint64_t at, size_t n) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(at));
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return s;
}

std::string ffmpegPath() {
    return envOr("FFMPEG", "ffmpeg");
}

std::string ffprobePath() {
    return envOr("FFPROBE", "ffprobe");
}

}  // namespace testsupport
