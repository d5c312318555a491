#include "ClipFile.h"

using namespace container;

namespace containertest {

ClipFile::~ClipFile() {
    if (ctx_.pb)
        avi_write_abort(&ctx_);
    avformat_free_context_avi(&ctx_);
}

bool ClipFile::open(const std::string& path) {
    return url_fopen(&ctx_.pb, path.c_str(), URL_WRONLY) == 0;
}

AVStream* ClipFile::add(int type) {
    AVStream* st = av_new_stream_avi(&ctx_, static_cast<int>(ctx_.nb_streams));
    st->codec->codec_type = type;
    return st;
}

AVCodecContext* ClipFile::addVideo(unsigned fourcc, int width, int height) {
    AVCodecContext* v = add(CODEC_TYPE_VIDEO)->codec;
    v->codec_tag = fourcc;
    v->width = width;
    v->height = height;
    v->time_base = {1, 25};
    return v;
}

AVCodecContext* ClipFile::addAudio(CodecID id, unsigned tag, int bit_rate, int block_align) {
    AVCodecContext* a = add(CODEC_TYPE_AUDIO)->codec;
    a->codec_id = id;
    a->codec_tag = tag;
    a->sample_rate = 8000;
    a->channels = 1;
    a->bit_rate = bit_rate;
    a->block_align = block_align;
    return a;
}

int ClipFile::write(int stream, int64_t dts, bool key, const std::string& data) {
    AVPacket pkt{};
    av_init_packet(&pkt);
    pkt.stream_index = stream;
    pkt.dts = dts;
    pkt.flags = key ? PKT_FLAG_KEY : 0;
    pkt.data = reinterpret_cast<uint8_t*>(const_cast<char*>(data.data()));
    pkt.size = static_cast<int>(data.size());
    return avi_write_packet(&ctx_, &pkt);
}

int ClipFile::finish() {
    int r = avi_write_trailer(&ctx_);
    url_fclose(ctx_.pb);
    ctx_.pb = nullptr;
    return r;
}

}  // namespace containertest
