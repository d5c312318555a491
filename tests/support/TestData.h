#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RiffReading.h"

namespace testsupport {

// Folder of the generated fixtures (ORDAVEX_TESTDATA); tests fail loudly
// when it is not set rather than reading the working folder.
std::string testDataDir();

// Path of one generated fixture; empty when the file does not exist.
std::string testDataFile(const std::string& name);

// Folder of the source tree (ORDAVEX_SOURCE_DIR), for scripts.
std::string sourceDir();

// The whole file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
std::vector<uint8_t> readFileBytes(const std::string& path);
// Writes the first n bytes (all when n is SIZE_MAX) as the whole file.
void writeFile(const std::string& path, ByteSpan bytes, size_t n = SIZE_MAX);
// Bytes [at, at + n) of a file, fewer at its end.
std::string readFileRange(const std::string& path, uint64_t at, size_t n);

// Paths of the ffmpeg tools, from the FFMPEG / FFPROBE variables or PATH.
std::string ffmpegPath();
std::string ffprobePath();

}  // namespace testsupport
