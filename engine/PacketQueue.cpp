#include "engine/PacketQueue.h"

PacketQueue::PacketQueue(qint64 maxPacketBytes) : maxPacketBytes(maxPacketBytes) {}

QueueInput PacketQueue::InputData(int type, qint64 dts, const unsigned char* data, int size,
                                  int width, int height) {
    return Put(data, size, maxPacketBytes, [&](QueuedPacket& slot) {
        slot.type = type;
        slot.size = size;
        slot.width = width;
        slot.height = height;
        slot.dts = dts;
    });
}

bool PacketQueue::OutputData(int* type, qint64* dts, unsigned char* data, qint64 capacity,
                             int* size, int* width, int* height) {
    return Take(data, capacity, [&](const QueuedPacket& slot) {
        SetIf(type, slot.type);
        SetIf(dts, slot.dts);
        SetIf(size, slot.size);
        SetIf(width, slot.width);
        SetIf(height, slot.height);
    });
}
