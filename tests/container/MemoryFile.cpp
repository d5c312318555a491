#include "MemoryFile.h"

#include <algorithm>
#include <cstring>

#include "container/aviobuf.h"
#include "container/error.h"

namespace containertest {

int MemoryFile::read(void* opaque, uint8_t* buf, int size) {
    MemoryFile* m = static_cast<MemoryFile*>(opaque);
    m->reads++;
    m->largestRead = std::max(m->largestRead, size);
    if (m->failWith)
        return m->failWith;
    int64_t n = std::min<int64_t>(size, static_cast<int64_t>(m->bytes.size()) - m->pos);
    if (n <= 0)
        return 0;
    std::memcpy(buf, m->bytes.data() + m->pos, static_cast<size_t>(n));
    m->pos += n;
    return static_cast<int>(n);
}

int MemoryFile::write(void* opaque, uint8_t* buf, int size) {
    MemoryFile* m = static_cast<MemoryFile*>(opaque);
    if (m->failWith)
        return m->failWith;
    size_t end = static_cast<size_t>(m->pos) + static_cast<size_t>(size);
    if (m->bytes.size() < end)
        m->bytes.resize(end);
    std::memcpy(m->bytes.data() + m->pos, buf, static_cast<size_t>(size));
    m->pos += size;
    return size;
}

int64_t MemoryFile::seek(void* opaque, int64_t offset, int whence) {
    MemoryFile* m = static_cast<MemoryFile*>(opaque);
    m->seeks++;
    int64_t size = static_cast<int64_t>(m->bytes.size());
    if (whence == container::AVSEEK_SIZE)
        return size;
    if (whence == 1)
        offset += m->pos;
    else if (whence == 2)
        offset += size;
    if (offset < 0)
        return container::AVERROR_INVAL;
    m->pos = offset;
    return offset;
}

}  // namespace containertest
