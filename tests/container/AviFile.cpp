#include "AviFile.h"

#include <algorithm>
#include <cstring>

#include "MemoryFile.h"
#include "container/avibackward.h"
#include "container/mem.h"

using namespace container;

namespace containertest {

namespace {

constexpr int kMemoryBuffer = 32768;

}  // namespace

ByteIOContext* openMemoryStream(std::vector<uint8_t> bytes) {
    MemoryFile* m = new MemoryFile;
    m->bytes = std::move(bytes);
    unsigned char* buffer = static_cast<unsigned char*>(av_malloc(kMemoryBuffer));
    return av_alloc_put_byte(buffer, kMemoryBuffer, 0, m, MemoryFile::read, nullptr,
                             MemoryFile::seek);
}

void closeMemoryStream(ByteIOContext* pb) {
    if (!pb)
        return;
    delete static_cast<MemoryFile*>(pb->opaque);
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
        if (!memory_)
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
    memory_ = false;
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
    memory_ = true;
    if (bytes.empty())
        bytes.push_back(0);
    ctx_ = AVFormatContext{};
    avi_ = AVIContext{};
    ctx_.priv_data = &avi_;
    ctx_.pb = openMemoryStream(std::move(bytes));
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
