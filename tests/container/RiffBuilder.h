#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace containertest {

// Writes RIFF structures byte by byte, for hand-made and damaged files.
class RiffBuilder {
public:
    RiffBuilder& fourcc(const char* tag);
    RiffBuilder& le16(uint16_t v);
    RiffBuilder& le32(uint32_t v);
    RiffBuilder& le64(uint64_t v);
    RiffBuilder& bytes(const std::vector<uint8_t>& data);
    RiffBuilder& zeros(size_t n);

    // Opens a chunk (or a LIST/RIFF with its type); close() patches its size
    // and pads it to an even length.
    RiffBuilder& open(const char* tag, const char* listType = nullptr);
    RiffBuilder& close();
    // A whole chunk with the given payload.
    RiffBuilder& chunk(const char* tag, const std::vector<uint8_t>& payload);

    // A stream header chunk of `type` with the given rate fields.
    RiffBuilder& streamHeader(const char* type, const char* handler, int32_t scale, int32_t rate,
                              int32_t sampleSize, uint32_t length);
    // Stream list for a stream header of `type` with the given rate fields,
    // followed by `format` as its strf (none when empty).
    RiffBuilder& streamList(const char* type, const char* handler, int32_t scale, int32_t rate,
                            int32_t sampleSize, uint32_t length,
                            const std::vector<uint8_t>& format);

    size_t size() const { return data_.size(); }
    size_t openChunkStart() const;  // data start of the innermost open chunk
    std::vector<uint8_t>& data() { return data_; }

private:
    std::vector<uint8_t> data_;
    std::vector<size_t> open_;  // positions of open size fields
};

// BITMAPINFOHEADER for a video stream; WAVEFORMATEX for an audio one.
std::vector<uint8_t> bitmapHeader(int32_t width, int32_t height, const char* compression,
                                  const std::vector<uint8_t>& extradata = {}, uint16_t bits = 24);
std::vector<uint8_t> waveFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign,
                                uint16_t bits);

// An H.264 Annex B payload of one NAL unit of the given type.
std::vector<uint8_t> h264Nal(int type, size_t size = 32);

// The main header chunk with the given frame period.
void mainHeader(RiffBuilder& b, uint32_t framePeriod, uint32_t streams, uint32_t flags = 0);

// A non-interleaved file (avih flag 0x20) of 10 video chunks of 200 bytes
// and 10 audio chunks of 100 bytes whose sample size is 1024, with idx1.
std::vector<uint8_t> collapsedIndexAvi();

}  // namespace containertest
