#include "RiffChunks.h"

namespace {

constexpr int kMaxDepth = 8;  // AVI nests three levels; more is a broken file

bool walk(const std::string& file, int64_t pos, int64_t end, int depth,
          std::vector<RiffChunk>* chunks) {
    if (depth > kMaxDepth)
        return false;
    while (pos + 8 <= end) {
        RiffChunk chunk;
        chunk.fourcc = file.substr(pos, 4);
        chunk.pos = pos;
        chunk.size = le32At(file, pos + 4);
        chunk.depth = depth;
        int64_t bodyEnd = pos + 8 + static_cast<int64_t>(chunk.size);
        if (bodyEnd > end)
            return false;
        bool isList = chunk.fourcc == "RIFF" || chunk.fourcc == "LIST";
        if (isList && chunk.size >= 4)
            chunk.listType = file.substr(pos + 8, 4);
        chunks->push_back(chunk);
        if (isList && chunk.size >= 4 && !walk(file, pos + 12, bodyEnd, depth + 1, chunks))
            return false;
        pos = bodyEnd + (chunk.size & 1);
    }
    return pos >= end;
}

}  // namespace

uint32_t le32At(const std::string& file, int64_t pos) {
    if (pos < 0 || pos + 4 > static_cast<int64_t>(file.size()))
        return 0;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(file[pos + i]);
    return value;
}

bool readRiffChunks(const std::string& file, std::vector<RiffChunk>* chunks) {
    return walk(file, 0, static_cast<int64_t>(file.size()), 0, chunks);
}
