#include "engine/PacketQueue.h"

PacketQueue::PacketQueue(qint64 maxPacketBytes) : maxPacketBytes(maxPacketBytes) {}

QueueInput PacketQueue::InputData(const PacketInfo& info, const unsigned char* data, int size) {
    return Put(data, size, maxPacketBytes, [&](QueuedPacket& slot) {
        slot.info = info;
        slot.size = size;
    });
}

QueueInput PacketQueue::InputData(int type, qint64 dts, const unsigned char* data, int size,
                                  int width, int height) {
    PacketInfo info;
    info.type = type;
    info.dts = dts;
    info.width = width;
    info.height = height;
    return InputData(info, data, size);
}

bool PacketQueue::OutputData(int* type, qint64* dts, unsigned char* data, qint64 capacity,
                             int* size, int* width, int* height) {
    return Take(data, capacity, [&](const QueuedPacket& slot) {
        SetIf(type, slot.info.type);
        SetIf(dts, slot.info.dts);
        SetIf(size, slot.size);
        SetIf(width, slot.info.width);
        SetIf(height, slot.info.height);
    });
}

bool PacketQueue::OutputData(PacketInfo* info, std::vector<unsigned char>* data, int* size) {
    return TakeInto(data, [&](const QueuedPacket& slot) {
        *info = slot.info;
        *size = slot.size;
    });
}
