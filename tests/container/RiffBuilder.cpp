#include "RiffBuilder.h"

#include <cstring>

namespace containertest {

RiffBuilder& RiffBuilder::fourcc(const char* tag) {
    data_.insert(data_.end(), tag, tag + 4);
    return *this;
}

RiffBuilder& RiffBuilder::le16(uint16_t v) {
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
}

RiffBuilder& RiffBuilder::le32(uint32_t v) {
    le16(static_cast<uint16_t>(v));
    return le16(static_cast<uint16_t>(v >> 16));
}

RiffBuilder& RiffBuilder::le64(uint64_t v) {
    le32(static_cast<uint32_t>(v));
    return le32(static_cast<uint32_t>(v >> 32));
}

RiffBuilder& RiffBuilder::bytes(const std::vector<uint8_t>& data) {
    data_.insert(data_.end(), data.begin(), data.end());
    return *this;
}

RiffBuilder& RiffBuilder::zeros(size_t n) {
    data_.insert(data_.end(), n, 0);
    return *this;
}

RiffBuilder& RiffBuilder::open(const char* tag, const char* listType) {
    fourcc(tag);
    open_.push_back(data_.size());
    le32(0);
    if (listType)
        fourcc(listType);
    return *this;
}

size_t RiffBuilder::openChunkStart() const {
    return open_.back() + 4;
}

RiffBuilder& RiffBuilder::close() {
    size_t at = open_.back();
    open_.pop_back();
    uint32_t size = static_cast<uint32_t>(data_.size() - at - 4);
    std::memcpy(&data_[at], &size, 4);  // little-endian host
    if (size & 1)
        data_.push_back(0);
    return *this;
}

RiffBuilder& RiffBuilder::chunk(const char* tag, const std::vector<uint8_t>& payload) {
    open(tag);
    bytes(payload);
    return close();
}

RiffBuilder& RiffBuilder::streamHeader(const char* type, const char* handler, int32_t scale,
                                       int32_t rate, int32_t sampleSize, uint32_t length) {
    open("strh");
    fourcc(type).fourcc(handler).le32(0).le16(0).le16(0).le32(0);
    le32(static_cast<uint32_t>(scale)).le32(static_cast<uint32_t>(rate));
    le32(0).le32(length).le32(0).le32(0xFFFFFFFF).le32(static_cast<uint32_t>(sampleSize));
    le32(0).le32(0);  // frame rectangle
    return close();
}

RiffBuilder& RiffBuilder::streamList(const char* type, const char* handler, int32_t scale,
                                     int32_t rate, int32_t sampleSize, uint32_t length,
                                     const std::vector<uint8_t>& format) {
    open("LIST", "strl");
    streamHeader(type, handler, scale, rate, sampleSize, length);
    if (!format.empty())
        chunk("strf", format);
    return close();
}

std::vector<uint8_t> bitmapHeader(int32_t width, int32_t height, const char* compression,
                                  const std::vector<uint8_t>& extradata, uint16_t bits) {
    RiffBuilder b;
    b.le32(static_cast<uint32_t>(40 + extradata.size()))
        .le32(static_cast<uint32_t>(width))
        .le32(static_cast<uint32_t>(height));
    b.le16(1).le16(bits).fourcc(compression).le32(0).le32(0).le32(0).le32(0).le32(0);
    b.bytes(extradata);
    return b.data();
}

std::vector<uint8_t> waveFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign,
                                uint16_t bits) {
    RiffBuilder b;
    b.le16(tag).le16(channels).le32(rate).le32(rate * blockAlign).le16(blockAlign).le16(bits);
    return b.data();
}

std::vector<uint8_t> h264Nal(int type, size_t size) {
    std::vector<uint8_t> nal(size < 5 ? 5 : size, 0x55);
    nal[0] = 0;
    nal[1] = 0;
    nal[2] = 0;
    nal[3] = 1;
    nal[4] = static_cast<uint8_t>(0x60 | type);
    return nal;
}

void mainHeader(RiffBuilder& b, uint32_t framePeriod, uint32_t streams, uint32_t flags) {
    b.open("avih");
    b.le32(framePeriod).le32(0).le32(0).le32(flags).le32(0).le32(0).le32(streams);
    b.le32(0).le32(320).le32(240).zeros(16);
    b.close();
}

std::vector<uint8_t> collapsedIndexAvi() {
    constexpr int kChunks = 10;
    RiffBuilder b;
    b.open("RIFF", "AVI ").open("LIST", "hdrl");
    mainHeader(b, 40000, 2, 0x30);  // has index, must use it
    b.streamList("vids", "H264", 1, 25, 0, kChunks, bitmapHeader(320, 240, "H264"));
    b.streamList("auds", "\0\0\0\0", 1, 8000, 1024, 0, waveFormat(1, 1, 8000, 1024, 16));
    b.close().open("LIST", "movi");
    size_t movi = b.openChunkStart();
    std::vector<uint32_t> offsets;
    for (int i = 0; i < 2 * kChunks; ++i) {
        offsets.push_back(static_cast<uint32_t>(b.size() - movi));
        b.chunk(i % 2 ? "01wb" : "00dc", std::vector<uint8_t>(i % 2 ? 100 : 200, 7));
    }
    b.close().open("idx1");
    for (int i = 0; i < 2 * kChunks; ++i)
        b.fourcc(i % 2 ? "01wb" : "00dc").le32(0x10).le32(offsets[i]).le32(i % 2 ? 100 : 200);
    return b.close().close().data();
}

}  // namespace containertest
