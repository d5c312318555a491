// One adapter per queue, so the ring rules and the two-thread stress run are
// written once for the packet, frame and record queues. Each entry carries a
// tag (generation and sequence number) and filler bytes that depend on it.
#pragma once

#include <cstring>
#include <vector>

#include "engine/DataQueue.h"
#include "engine/FrameQueue.h"
#include "engine/PacketQueue.h"

struct Tag {
    qint32 generation;
    qint32 seq;
};

inline int PayloadSize(const Tag& tag) {
    return int(sizeof(Tag)) + (tag.seq * 7 + tag.generation) % 200;
}

inline void Fill(std::vector<unsigned char>* bytes, const Tag& tag) {
    bytes->resize(size_t(PayloadSize(tag)));
    std::memcpy(bytes->data(), &tag, sizeof(Tag));
    for (size_t i = sizeof(Tag); i < bytes->size(); ++i) {
        (*bytes)[i] = static_cast<unsigned char>(tag.seq + i);
    }
}

// Whether data holds a whole, unaltered payload; its tag goes to *tag.
inline bool Intact(const unsigned char* data, int size, Tag* tag) {
    if (size < int(sizeof(Tag))) {
        return false;
    }
    std::memcpy(tag, data, sizeof(Tag));
    std::vector<unsigned char> expected;
    Fill(&expected, *tag);
    return size == int(expected.size()) && std::memcmp(expected.data(), data, size_t(size)) == 0;
}

constexpr qint64 kRingOut = 1024;  // destination size of every Get

struct PacketRing {
    PacketQueue queue{256};
    QueueInput Put(const std::vector<unsigned char>& bytes, qint64 dts) {
        return queue.InputData(28, dts, bytes.data(), int(bytes.size()), 1, 1);
    }
    bool Get(unsigned char* out, int* size) {
        return queue.OutputData(nullptr, nullptr, out, kRingOut, size, nullptr, nullptr);
    }
};

struct DataRing {
    DataQueue queue{256};
    QueueInput Put(const std::vector<unsigned char>& bytes, qint64 dts) {
        return queue.InputData(dts, bytes.data(), int(bytes.size()));
    }
    bool Get(unsigned char* out, int* size) {
        return queue.OutputData(nullptr, out, kRingOut, size);
    }
};

// Carries the payload in the pixels of a 2 x h frame, padded up to 3h bytes.
struct FrameRing {
    FrameQueue queue;
    QueueInput Put(std::vector<unsigned char> bytes, qint64 dts) {
        const int height = int(bytes.size() + 2) / 3;
        bytes.resize(size_t(FrameQueue::FrameBytes(2, height)), 0xEE);
        return queue.InputData(dts, bytes.data(), 2, height);
    }
    bool Get(unsigned char* out, int* size) {
        int width = 0;
        int height = 0;
        if (!queue.OutputData(nullptr, out, kRingOut, &width, &height)) {
            return false;
        }
        Tag tag;
        std::memcpy(&tag, out, sizeof(Tag));
        *size = PayloadSize(tag);
        return true;
    }
};
