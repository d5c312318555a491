#pragma once

#include <cstdint>

#include "container/avformat.h"

namespace container {

// A fourcc as the little-endian number of its four characters.
constexpr unsigned MKTAG(char a, char b, char c, char d) {
    return static_cast<unsigned>(static_cast<unsigned char>(a)) |
           static_cast<unsigned>(static_cast<unsigned char>(b)) << 8 |
           static_cast<unsigned>(static_cast<unsigned char>(c)) << 16 |
           static_cast<unsigned>(static_cast<unsigned char>(d)) << 24;
}

struct AVCodecTag {
    CodecID id;
    unsigned tag;
};

// Tables end with a row whose id is 0.
extern const AVCodecTag codec_bmp_tags[];
extern const AVCodecTag codec_wav_tags[];

// id of the first row with this tag, else of the first whose bytes match
// case-insensitively, else 0.
CodecID codec_get_id(const AVCodecTag* tags, unsigned tag);
CodecID wav_codec_get_id(unsigned tag, int bps);
int av_get_bits_per_sample(CodecID id);

// Writes tag and a size placeholder; returns the chunk's data start.
int64_t start_tag(ByteIOContext* pb, const char* tag);
// Patches the size of the chunk begun at start; returns the position.
int64_t end_tag(ByteIOContext* pb, int64_t start);

// WAVEFORMATEX of enc: bytes written, or -1 (nothing written) for a codec
// tag outside 1..0xffff.
int put_wav_header(ByteIOContext* pb, AVCodecContext* enc);
void put_bmp_header(ByteIOContext* pb, AVCodecContext* enc, const AVCodecTag* tags, int for_asf);
// Reads a WAVEFORMAT(EX) body of size bytes into codec; never reads past
// the chunk. Extra data above 1 MiB is skipped, not kept.
void get_wav_header(ByteIOContext* pb, AVCodecContext* codec, int size);
void ff_parse_specific_params(AVCodecContext* stream, int* au_rate, int* au_ssize, int* au_scale);
// Samples per chunk of an audio stream whose header counts scale/rate
// seconds per chunk (ADPCM blocks, AAC frames), so that a writer gives the
// copy the same timing; 0 when the header counts single samples or the
// figures do not divide.
int ff_audio_frame_size(const AVCodecContext* codec, int scale, int rate);

}  // namespace container
