#include "engine/SlotBuffer.h"

#include <cstring>

bool SlotBuffer::Reserve(qint64 n) {
    if (n < 0) {
        return false;
    }
    if (n <= capacity) {
        return true;
    }
    auto* grown = static_cast<unsigned char*>(std::malloc(size_t(n)));
    if (!grown) {
        return false;
    }
    block.reset(grown);
    capacity = n;
    return true;
}

QueueInput SlotBuffer::Store(const unsigned char* data, qint64 n, qint64 maxBytes) {
    if (n < 0 || n > maxBytes || (n > 0 && !data)) {
        return QueueInput::Refused;
    }
    if (!Reserve(n)) {
        return QueueInput::Refused;
    }
    if (n > 0) {
        std::memcpy(block.get(), data, size_t(n));
    }
    return QueueInput::Accepted;
}

bool SlotBuffer::CopyOut(unsigned char* dst, qint64 dstCapacity, qint64 n) const {
    if (n <= 0) {
        return true;
    }
    if (!dst || dstCapacity < n || n > capacity) {
        return false;
    }
    std::memcpy(dst, block.get(), size_t(n));
    return true;
}
