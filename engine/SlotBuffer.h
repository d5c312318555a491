#pragma once

#include <QtGlobal>
#include <memory>

#include "engine/QueueInput.h"

// The heap block of one queue slot. It grows when an entry needs more room
// and is reused otherwise, so a steady stream allocates nothing; it is freed
// with the slot or when its ring keeps too much. Used only under the owning queue's lock.
class SlotBuffer {
public:
    // Makes room for n bytes (0 <= n). False when the block cannot grow; the
    // old block then stays as it was.
    bool Reserve(qint64 n);

    // Copies n bytes from data into the block, growing it first. Refused when
    // n is negative or above maxBytes, when bytes are announced without data,
    // or when the block cannot grow.
    QueueInput Store(const unsigned char* data, qint64 n, qint64 maxBytes);

    // Copies the first n bytes of the block to dst. False, copying nothing,
    // when n > 0 and dst is null or smaller than n.
    bool CopyOut(unsigned char* dst, qint64 dstCapacity, qint64 n) const;

    // Frees the block; the next Store allocates afresh.
    void Release() {
        block.reset();
        capacity = 0;
    }

    unsigned char* Data() const { return block.get(); }
    qint64 Capacity() const { return capacity; }

private:
    std::unique_ptr<unsigned char[]> block;
    qint64 capacity = 0;
};
