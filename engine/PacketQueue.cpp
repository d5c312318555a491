#include "engine/PacketQueue.h"

PacketQueue::PacketQueue(qint64 maxPacketBytes) : maxPacketBytes(maxPacketBytes) {}

QueueInput PacketQueue::InputData(int type, qint64 dts, const unsigned char* data, int size,
                                  int width, int height) {
    if (ring.Full()) {
        return QueueInput::Full;
    }
    Packet& slot = ring.WriteSlot();
    const QueueInput stored = slot.buf.Store(data, size, maxPacketBytes);
    if (stored != QueueInput::Accepted) {
        return stored;
    }
    slot.type = type;
    slot.size = size;
    slot.width = width;
    slot.height = height;
    slot.dts = dts;
    ring.Push();
    return QueueInput::Accepted;
}

bool PacketQueue::OutputData(int* type, qint64* dts, unsigned char* data, qint64 capacity,
                             int* size, int* width, int* height) {
    if (ring.Empty()) {
        return false;
    }
    const Packet& slot = ring.ReadSlot();
    if (!slot.buf.CopyOut(data, capacity, slot.size)) {
        return false;
    }
    if (type) {
        *type = slot.type;
    }
    if (dts) {
        *dts = slot.dts;
    }
    if (size) {
        *size = slot.size;
    }
    if (width) {
        *width = slot.width;
    }
    if (height) {
        *height = slot.height;
    }
    ring.Pop();
    return true;
}
