#include "RiffReading.h"

#include <algorithm>

namespace testsupport {

namespace {

void walk(ByteSpan d, size_t from, size_t end, std::vector<RiffChunk>* out) {
    while (from + 8 <= end) {
        RiffChunk c;
        c.pos = from;
        c.size = le32(d, from + 4);
        std::string id(reinterpret_cast<const char*>(d.data + from), 4);
        c.list = (id == "RIFF" || id == "LIST") && from + 12 <= end;
        c.tag = c.list ? std::string(reinterpret_cast<const char*>(d.data + from + 8), 4) : id;
        out->push_back(c);
        const uint64_t next = uint64_t{from} + 8 + c.size + (c.size & 1);
        if (c.list && c.tag != "movi")
            walk(d, from + 12, static_cast<size_t>(std::min<uint64_t>(end, next)), out);
        if (next > end)
            return;
        from = static_cast<size_t>(next);
    }
}

}  // namespace

uint64_t le(ByteSpan d, size_t at, int width) {
    if (at > d.size || d.size - at < static_cast<size_t>(width))
        return 0;
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v << 8 | d.data[at + static_cast<size_t>(i)];
    return v;
}

std::vector<RiffChunk> riffChunks(ByteSpan d, const std::string& tag) {
    std::vector<RiffChunk> all;
    walk(d, 0, d.size, &all);
    if (!tag.empty())
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [&](const RiffChunk& c) { return c.tag != tag; }),
                  all.end());
    return all;
}

}  // namespace testsupport
