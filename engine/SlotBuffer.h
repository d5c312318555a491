#pragma once

#include <QtGlobal>
#include <cstdlib>
#include <memory>
#include <utility>

#include "engine/QueueInput.h"

// The heap block of one queue slot. It grows when an entry needs more room
// and is reused otherwise, so a steady stream allocates nothing; it is freed
// with the slot or when its ring keeps too much. The block comes from
// std::malloc, so it can be handed on (Detach) to code that frees it with
// std::free. Used only under the owning queue's lock, or by the one thread
// that holds it outside a queue.
class SlotBuffer {
public:
    SlotBuffer() = default;
    // A moved-from buffer is empty.
    SlotBuffer(SlotBuffer&& other) noexcept
        : block(std::move(other.block)), capacity(std::exchange(other.capacity, 0)) {}
    SlotBuffer& operator=(SlotBuffer&& other) noexcept {
        block = std::move(other.block);
        capacity = std::exchange(other.capacity, 0);
        return *this;
    }

    // Makes room for n bytes (0 <= n). False when the block cannot grow; the
    // old block then stays as it was. Growing does not keep the old bytes.
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

    // Hands the block over (null when there is none); the caller frees it
    // with std::free. The buffer is then empty.
    unsigned char* Detach() {
        capacity = 0;
        return block.release();
    }

    unsigned char* Data() const { return block.get(); }
    qint64 Capacity() const { return capacity; }

private:
    struct Free {
        void operator()(unsigned char* p) const { std::free(p); }
    };

    std::unique_ptr<unsigned char, Free> block;
    qint64 capacity = 0;
};
