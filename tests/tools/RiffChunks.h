#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One chunk of a RIFF file: lists ("RIFF", "LIST") carry their list type and
// are followed by their children, so the vector reads in file order.
struct RiffChunk {
    std::string fourcc;
    std::string listType;  // empty for plain chunks
    int64_t pos = 0;       // file position of the chunk header
    uint32_t size = 0;     // size field as written
    int depth = 0;         // 0 for the RIFF chunk itself
};

// Walks a whole RIFF file held in memory. Returns false when a chunk runs
// past its parent or the file (what has been read stays in `chunks`).
bool readRiffChunks(const std::string& file, std::vector<RiffChunk>* chunks);

// Little-endian 32-bit word at `pos`; 0 when out of range.
uint32_t le32At(const std::string& file, int64_t pos);
