#include "AviFile.h"

#include <algorithm>
#include <cstring>

#include "container/avibackward.h"
#include "container/mem.h"

using namespace container;

namespace containertest {

namespace {

struct MemoryObject {
    const std::vector<uint8_t>* bytes;
    int64_t pos;
};

int memoryRead(void* opaque, uint8_t* buf, int size) {
    MemoryObject* m = static_cast<MemoryObject*>(opaque);
    int64_t left = static_cast<int64_t>(m->bytes->size()) - m->pos;
    int n = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(size, left)));
    if (n > 0)
        std::memcpy(buf, m->bytes->data() + m->pos, static_cast<size_t>(n));
    m->pos += n;
    return n;
}

int64_t memorySeek(void* opaque, int64_t offset, int whence) {
    MemoryObject* m = static_cast<MemoryObject*>(opaque);
    int64_t size = static_cast<int64_t>(m->bytes->size());
    if (whence == AVSEEK_SIZE)
        return size;
    if (whence == 1)
        offset += m->pos;
    else if (whence == 2)
        offset += size;
    if (offset < 0)
        return -22;
    m->pos = offset;
    return offset;
}

constexpr int kMemoryBuffer = 32768;

}  // namespace

ByteIOContext* openMemoryStream(const std::vector<uint8_t>& bytes) {
    MemoryObject* m = new MemoryObject{&bytes, 0};
    unsigned char* buffer = static_cast<unsigned char*>(av_malloc(kMemoryBuffer));
    return av_alloc_put_byte(buffer, kMemoryBuffer, 0, m, memoryRead, nullptr, memorySeek);
}

void closeMemoryStream(ByteIOContext* pb) {
    if (!pb)
        return;
    delete static_cast<MemoryObject*>(pb->opaque);
    av_free(pb->buffer);
    av_free(pb);
}

AviFile::~AviFile() {
    close();
}

void AviFile::close() {
    if (opened_) {
        avi_read_close(&ctx_);
        avformat_free_context_avi(&ctx_);
        if (memory_.empty())
            url_fclose(ctx_.pb);
        else
            closeMemoryStream(ctx_.pb);
    }
    av_destruct_packet(&pkt_);
    opened_ = false;
}

int AviFile::open(const std::string& path) {
    return openFile(path, false, 0);
}

int AviFile::openBackward(const std::string& path, int slot) {
    return openFile(path, true, slot);
}

int AviFile::openFile(const std::string& path, bool backward, int slot) {
    close();
    backward_ = backward;
    slot_ = slot;
    ctx_ = AVFormatContext{};
    avi_ = AVIContext{};
    ctx_.priv_data = &avi_;
    av_strlcpy(ctx_.filename, path.c_str(), sizeof ctx_.filename);
    int err = url_fopen(&ctx_.pb, path.c_str(), URL_RDONLY);
    if (err < 0)
        return err;
    opened_ = true;
    return readHeader();
}

int AviFile::readHeader() {
    return !backward_ ? avi_read_header(&ctx_, nullptr)
                      : avi_read_header_backward(&ctx_, nullptr, slot_);
}

int AviFile::openMemory(std::vector<uint8_t> bytes, int slot) {
    close();
    backward_ = slot >= 0;
    slot_ = slot;
    memory_ = std::move(bytes);
    if (memory_.empty())
        memory_.push_back(0);
    ctx_ = AVFormatContext{};
    avi_ = AVIContext{};
    ctx_.priv_data = &avi_;
    ctx_.pb = openMemoryStream(memory_);
    opened_ = true;
    return readHeader();
}

int AviFile::readOne(ProbePacket* out) {
    int r =
        !backward_ ? avi_read_packet(&ctx_, &pkt_) : avi_read_packet_backward(&ctx_, &pkt_, slot_);
    if (r < 0)
        return r;
    out->stream = pkt_.stream_index;
    out->dts = pkt_.dts;
    out->size = pkt_.size;
    out->pos = pkt_.pos;
    out->key = pkt_.flags & PKT_FLAG_KEY;
    return r;
}

std::vector<ProbePacket> AviFile::readAll(int* end, size_t limit) {
    std::vector<ProbePacket> packets;
    ProbePacket p;
    int r = 0;
    while (packets.size() < limit && (r = readOne(&p)) >= 0)
        packets.push_back(p);
    if (end)
        *end = r;
    return packets;
}

}  // namespace containertest
