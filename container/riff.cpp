#include "container/riff.h"

#include <algorithm>
#include <cctype>

#include "container/mem.h"

namespace container {

namespace {

constexpr unsigned kExtensibleFormat = 0xfffe;

unsigned upper_bytes(unsigned tag) {
    unsigned out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= static_cast<unsigned>(std::toupper(static_cast<int>((tag >> shift) & 0xff)))
               << shift;
    return out;
}

// The ADPCM codec ids.
constexpr CodecID kFirstAdpcm = 0x11000;
constexpr CodecID kPastAdpcm = 0x12000;

// Bits per sample as coded: the stream's own figure when set; ADPCM codes 4
// (readers reject an IMA ADPCM header that says 16).
int coded_bits(const AVCodecContext* enc) {
    if (enc->bits_per_coded_sample > 0)
        return enc->bits_per_coded_sample;
    if (enc->codec_id >= kFirstAdpcm && enc->codec_id < kPastAdpcm)
        return 4;
    int bits = av_get_bits_per_sample(enc->codec_id);
    return bits ? bits : 16;
}

}  // namespace

const AVCodecTag codec_bmp_tags[] = {
    {CODEC_ID_H264, MKTAG('H', '2', '6', '4')},  {CODEC_ID_H264, MKTAG('h', '2', '6', '4')},
    {CODEC_ID_H264, MKTAG('X', '2', '6', '4')},  {CODEC_ID_H264, MKTAG('x', '2', '6', '4')},
    {CODEC_ID_H264, MKTAG('a', 'v', 'c', '1')},  {CODEC_ID_H264, MKTAG('V', 'S', 'S', 'H')},
    {CODEC_ID_H263, MKTAG('H', '2', '6', '3')},  {CODEC_ID_H263, MKTAG('X', '2', '6', '3')},
    {CODEC_ID_H263, MKTAG('T', '2', '6', '3')},  {CODEC_ID_H263, MKTAG('L', '2', '6', '3')},
    {CODEC_ID_H263, MKTAG('V', 'X', '1', 'K')},  {CODEC_ID_MPEG4, MKTAG('F', 'M', 'P', '4')},
    {CODEC_ID_MPEG4, MKTAG('D', 'I', 'V', 'X')}, {CODEC_ID_MPEG4, MKTAG('D', 'X', '5', '0')},
    {CODEC_ID_MPEG4, MKTAG('X', 'V', 'I', 'D')}, {CODEC_ID_MPEG4, MKTAG('M', 'P', '4', 'S')},
    {CODEC_ID_MPEG4, MKTAG('M', '4', 'S', '2')}, {CODEC_ID_MPEG4, 4},
    {CODEC_ID_MPEG4, MKTAG('D', 'I', 'V', '1')}, {CODEC_ID_MPEG4, MKTAG('B', 'L', 'Z', '0')},
    {CODEC_ID_MPEG4, MKTAG('m', 'p', '4', 'v')}, {CODEC_ID_MPEG4, MKTAG('U', 'M', 'P', '4')},
    {CODEC_ID_MPEG4, MKTAG('W', 'V', '1', 'F')}, {CODEC_ID_MPEG4, MKTAG('S', 'E', 'D', 'G')},
    {CODEC_ID_MPEG4, MKTAG('R', 'M', 'P', '4')}, {CODEC_ID_MPEG4, MKTAG('3', 'I', 'V', '2')},
    {CODEC_ID_MPEG4, MKTAG('F', 'F', 'D', 'S')}, {CODEC_ID_MPEG4, MKTAG('F', 'V', 'F', 'W')},
    {CODEC_ID_MPEG4, MKTAG('D', 'C', 'O', 'D')}, {CODEC_ID_MPEG4, MKTAG('M', 'V', 'X', 'M')},
    {CODEC_ID_MPEG4, MKTAG('P', 'M', '4', 'V')}, {CODEC_ID_MPEG4, MKTAG('S', 'M', 'P', '4')},
    {CODEC_ID_MPEG4, MKTAG('D', 'X', 'G', 'M')}, {CODEC_ID_MPEG4, MKTAG('V', 'I', 'D', 'M')},
    {CODEC_ID_MPEG4, MKTAG('M', '4', 'T', '3')}, {CODEC_ID_MPEG4, MKTAG('G', 'E', 'O', 'X')},
    {CODEC_ID_MPEG4, MKTAG('H', 'D', 'X', '4')}, {CODEC_ID_MPEG4, MKTAG('D', 'M', 'K', '2')},
    {CODEC_ID_MPEG4, MKTAG('D', 'I', 'G', 'I')}, {CODEC_ID_MPEG4, MKTAG('I', 'N', 'M', 'C')},
    {CODEC_ID_MPEG4, MKTAG('E', 'P', 'H', 'V')}, {CODEC_ID_MPEG4, MKTAG('E', 'M', '4', 'A')},
    {CODEC_ID_MPEG4, MKTAG('M', '4', 'C', 'C')}, {CODEC_ID_NONE, 0},
};

const AVCodecTag codec_wav_tags[] = {
    {0x10000, 0x0001},
    {0x10005, 0x0001},
    {0x1000c, 0x0001},
    {0x10008, 0x0001},
    {0x11006, 0x0002},
    {0x10015, 0x0003},
    {0x10017, 0x0003},
    {0x10007, 0x0006},
    {0x10006, 0x0007},
    {0x15027, 0x000a},
    {0x11001, 0x0011},
    {0x10011, 0x0011},
    {0x1100e, 0x0020},
    {0x15017, 0x0022},
    {0x15020, 0x0031},
    {0x1100b, 0x0045},
    {0x15000, 0x0050},
    {0x15001, 0x0055},
    {0x12000, 0x0057},
    {0x12001, 0x0058},
    {0x11003, 0x0061},
    {0x11002, 0x0062},
    {0x11001, 0x0069},
    {0x15022, 0x0075},
    {0x15002, 0x00ff},
    {0x1502c, 0x0130},
    {0x15007, 0x0160},
    {0x15008, 0x0161},
    {0x15028, 0x0162},
    {0x15029, 0x0163},
    {0x1100c, 0x0200},
    {0x15021, 0x0270},
    {0x1501d, 0x0401},
    {0x15003, 0x2000},
    {0x15004, 0x2001},
    {0x1500c, 0x2048},
    {0x1500d, 0x2048},
    {0x15002, 0x706d},
    {0x15002, 0x4143},
    {0x1500e, 0xf1ac},
    {0x1100d, 0x5346},
    {0x15005, 0x566f},
    {0x10000, MKTAG('R', 'A', 'W', 'A')},
    {0x15001, MKTAG('L', 'A', 'M', 'E')},
    {0x15001, MKTAG('M', 'P', '3', ' ')},
    {CODEC_ID_NONE, 0},
};

CodecID codec_get_id(const AVCodecTag* tags, unsigned tag) {
    for (const AVCodecTag* t = tags; t->id != CODEC_ID_NONE; ++t) {
        if (t->tag == tag)
            return t->id;
    }
    unsigned upper = upper_bytes(tag);
    for (const AVCodecTag* t = tags; t->id != CODEC_ID_NONE; ++t) {
        if (upper_bytes(t->tag) == upper)
            return t->id;
    }
    return CODEC_ID_NONE;
}

CodecID wav_codec_get_id(unsigned tag, int bps) {
    CodecID id = codec_get_id(codec_wav_tags, tag);
    if (id == CODEC_ID_ADPCM_IMA_WAV && bps == 8)
        return 0x10011;
    return id;
}

int av_get_bits_per_sample(CodecID id) {
    if (id >= 0x10000 && id <= 0x10003)
        return 16;
    if (id == CODEC_ID_PCM_S8)
        return 8;
    if (id == CODEC_ID_ADPCM_MS)
        return 4;
    return 0;
}

int64_t start_tag(ByteIOContext* pb, const char* tag) {
    put_tag(pb, tag);
    put_le32(pb, 0);
    return url_ftell(pb);
}

int64_t end_tag(ByteIOContext* pb, int64_t start) {
    int64_t pos = url_ftell(pb);
    url_fseek(pb, start - 4, 0);
    put_le32(pb, static_cast<unsigned>(pos - start));
    url_fseek(pb, pos, 0);
    return pos;
}

int put_wav_header(ByteIOContext* pb, AVCodecContext* enc) {
    if (enc->codec_tag < 1 || enc->codec_tag > 0xffff)
        return -1;
    put_le16(pb, enc->codec_tag);
    put_le16(pb, static_cast<unsigned>(enc->channels));
    put_le32(pb, static_cast<unsigned>(enc->sample_rate));
    bool mpeg = enc->codec_id == CODEC_ID_MP2 || enc->codec_id == CODEC_ID_MP3;
    int bits = 0, block_align, bytes_per_second;
    if (mpeg) {
        block_align = enc->frame_size;
        bytes_per_second = enc->bit_rate / 8;
    } else {
        bits = coded_bits(enc);
        block_align = enc->block_align ? enc->block_align : (enc->channels * bits) >> 3;
        bytes_per_second =
            enc->codec_id == CODEC_ID_PCM_S16LE
                ? static_cast<int>(static_cast<int64_t>(enc->sample_rate) * block_align)
                : enc->bit_rate / 8;
    }
    put_le32(pb, static_cast<unsigned>(bytes_per_second));
    put_le16(pb, static_cast<unsigned>(block_align));
    put_le16(pb, static_cast<unsigned>(bits));
    if (enc->codec_id == CODEC_ID_MP2) {
        put_le16(pb, 22);
        put_le16(pb, 2);
        put_le32(pb, static_cast<unsigned>(enc->bit_rate));
        put_le16(pb, enc->channels == 2 ? 1 : 8);
        put_le16(pb, 0);
        put_le16(pb, 1);
        put_le16(pb, 16);
        put_le32(pb, 0);
        put_le32(pb, 0);
        return 40;
    }
    if (enc->codec_id == CODEC_ID_MP3) {
        put_le16(pb, 12);
        put_le16(pb, 1);
        put_le32(pb, 2);
        put_le16(pb, 1152);
        put_le16(pb, 1);
        put_le16(pb, 1393);
        return 30;
    }
    if (enc->extradata && enc->extradata_size > 0) {
        put_le16(pb, static_cast<unsigned>(enc->extradata_size));
        put_buffer(pb, enc->extradata, enc->extradata_size);
        if (enc->extradata_size & 1)
            put_byte(pb, 0);
        return 18 + enc->extradata_size + (enc->extradata_size & 1);
    }
    return 16;
}

void put_bmp_header(ByteIOContext* pb, AVCodecContext* enc, const AVCodecTag*, int) {
    int extra = enc->extradata ? enc->extradata_size : 0;
    put_le32(pb, static_cast<unsigned>(40 + extra));
    put_le32(pb, static_cast<unsigned>(enc->width));
    put_le32(pb, static_cast<unsigned>(enc->codec_tag ? enc->height : -enc->height));
    put_le16(pb, 1);
    put_le16(pb,
             static_cast<unsigned>(enc->bits_per_coded_sample ? enc->bits_per_coded_sample : 24));
    put_le32(pb, enc->codec_tag);
    put_le32(pb, static_cast<unsigned>(static_cast<int64_t>(enc->width) * enc->height * 3));
    for (int i = 0; i < 4; ++i)
        put_le32(pb, 0);
    if (extra > 0) {
        put_buffer(pb, enc->extradata, extra);
        if (extra & 1)
            put_byte(pb, 0);
    }
}

void get_wav_header(ByteIOContext* pb, AVCodecContext* codec, int size) {
    unsigned tag = get_le16(pb);
    codec->codec_type = CODEC_TYPE_AUDIO;
    codec->codec_tag = tag;
    codec->channels = static_cast<int>(get_le16(pb));
    codec->sample_rate = static_cast<int>(get_le32(pb));
    codec->bit_rate = static_cast<int>(get_le32(pb) * 8u);
    codec->block_align = static_cast<int>(get_le16(pb));
    if (size == 14) {
        codec->bits_per_coded_sample = 8;
    } else {
        codec->bits_per_coded_sample = static_cast<int>(get_le16(pb));
    }
    if (size >= 18) {
        int remaining = size - 18;
        int cb_size = std::min(static_cast<int>(get_le16(pb)), remaining);
        if (cb_size >= 22 && tag == kExtensibleFormat) {
            codec->bits_per_coded_sample = static_cast<int>(get_le16(pb));
            get_le32(pb);  // channel mask
            tag = get_le32(pb);
            url_fskip(pb, 12);
            cb_size -= 22;
            remaining -= 22;
        }
        av_freep(&codec->extradata);
        codec->extradata_size = 0;
        if (cb_size > 0 && cb_size <= MAX_EXTRADATA_SIZE) {
            codec->extradata = static_cast<uint8_t*>(
                av_mallocz(static_cast<size_t>(cb_size) + FF_INPUT_BUFFER_PADDING_SIZE));
            if (codec->extradata) {
                codec->extradata_size = get_buffer(pb, codec->extradata, cb_size);
                remaining -= cb_size;
            }
        }
        if (remaining > 0)
            url_fskip(pb, remaining);
    }
    codec->codec_id = wav_codec_get_id(tag, codec->bits_per_coded_sample);
}

void ff_parse_specific_params(AVCodecContext* stream, int* au_rate, int* au_ssize, int* au_scale) {
    int64_t rate, scale;
    *au_ssize = stream->block_align;
    if (stream->frame_size && stream->sample_rate) {
        scale = stream->frame_size;
        rate = stream->sample_rate;
    } else if (stream->codec_type != CODEC_TYPE_VIDEO) {
        scale = stream->block_align ? static_cast<int64_t>(stream->block_align) * 8 : 8;
        rate = stream->bit_rate ? stream->bit_rate : static_cast<int64_t>(stream->sample_rate) * 8;
    } else {
        scale = stream->time_base.num;
        rate = stream->time_base.den;
    }
    int64_t g = av_gcd(scale, rate);
    if (g != 0) {
        scale /= g;
        rate /= g;
    }
    *au_scale = static_cast<int>(scale);
    *au_rate = static_cast<int>(rate);
}

int ff_audio_frame_size(const AVCodecContext* codec, int scale, int rate) {
    constexpr int64_t kMaxFrameSamples = 1 << 20;
    if (codec->codec_type != CODEC_TYPE_AUDIO || scale <= 0 || rate <= 0 || codec->sample_rate <= 0)
        return 0;
    const int64_t samples = static_cast<int64_t>(scale) * codec->sample_rate;
    if (samples % rate != 0 || samples / rate <= 1 || samples / rate > kMaxFrameSamples)
        return 0;
    return static_cast<int>(samples / rate);
}

}  // namespace container
