#pragma once

#include <cstdint>

#include "container/avio.h"

namespace container {

// Buffered byte stream over a URL context, a dynamic buffer or a caller's
// block. Read mode: eof_reached and error stick until a successful
// url_fseek clears eof_reached (error is never cleared).
struct ByteIOContext {
    unsigned char* buffer;
    int buffer_size;
    unsigned char* buf_ptr;  // next byte to read or write
    unsigned char* buf_end;  // reading: end of valid data; writing: buffer + buffer_size
    void* opaque;
    int (*read_packet)(void* opaque, uint8_t* buf, int size);
    int (*write_packet)(void* opaque, uint8_t* buf, int size);
    int64_t (*seek)(void* opaque, int64_t offset, int whence);
    int64_t pos;  // reading: file offset of buf_end; writing: file offset of buffer
    int must_flush;
    int eof_reached;
    int write_flag;
    int is_streamed;
    int max_packet_size;
    unsigned long checksum;
    unsigned char* checksum_ptr;
    unsigned long (*update_checksum)(unsigned long checksum, const uint8_t* buf, unsigned size);
    int error;  // first negative result of a read or write callback
    int (*read_pause)(void* opaque, int pause);
    int64_t (*read_seek)(void* opaque, int stream_index, int64_t timestamp, int flags);
    // Writing: the furthest byte written before a seek moved buf_ptr back
    // inside the buffer, so that a flush never drops bytes behind buf_ptr.
    unsigned char* buf_ptr_max;
};

// Growable memory behind a dynamic stream.
struct DynBuffer {
    int pos;
    int size;
    int allocated_size;
    uint8_t* buffer;
    int io_buffer_size;
    uint8_t io_buffer[1];  // the stream's own I/O buffer, io_buffer_size bytes long
};

constexpr int IO_BUFFER_SIZE = 32768;

// Opening and closing. url_fopen sets *s only on success; the stream is
// released with url_fclose, which flushes a write stream first.
int url_fopen(ByteIOContext** s, const char* filename, int flags);
int url_fdopen(ByteIOContext** s, URLContext* h);
ByteIOContext* url_open_file(const char* filename, int flags);
int url_fclose(ByteIOContext* s);
int url_setbufsize(ByteIOContext* s, int buf_size);
int init_put_byte(ByteIOContext* s, unsigned char* buffer, int buffer_size, int write_flag,
                  void* opaque, int (*read_packet)(void*, uint8_t*, int),
                  int (*write_packet)(void*, uint8_t*, int), int64_t (*seek)(void*, int64_t, int));
// A zero-filled context set up as init_put_byte does; null when out of memory.
ByteIOContext* av_alloc_put_byte(unsigned char* buffer, int buffer_size, int write_flag,
                                 void* opaque, int (*read_packet)(void*, uint8_t*, int),
                                 int (*write_packet)(void*, uint8_t*, int),
                                 int64_t (*seek)(void*, int64_t, int));
int url_resetbuf(ByteIOContext* s, int flags);

// Queries; a null stream gives -22 (or 0 for url_feof/url_ferror).
int64_t url_ftell(ByteIOContext* s);
int64_t url_fsize(ByteIOContext* s);
int url_feof(ByteIOContext* s);
int url_ferror(ByteIOContext* s);
URLContext* url_fileno(ByteIOContext* s);
int url_fget_max_packet_size(ByteIOContext* s);

// Positioning: whence 0 from the start, 1 from the current position. The
// new position, or -22 / -32 / the object's negative result.
int64_t url_fseek(ByteIOContext* s, int64_t offset, int whence);
int64_t url_fskip(ByteIOContext* s, int64_t offset);

int av_url_read_fpause(ByteIOContext* s, int pause);
int64_t av_url_read_fseek(ByteIOContext* s, int stream_index, int64_t timestamp, int flags);

// Readers. get_byte gives 0 and url_fgetc -1 when no byte can be had.
int get_byte(ByteIOContext* s);
int url_fgetc(ByteIOContext* s);
unsigned get_le16(ByteIOContext* s);
unsigned get_le24(ByteIOContext* s);
unsigned get_le32(ByteIOContext* s);
uint64_t get_le64(ByteIOContext* s);
unsigned get_be16(ByteIOContext* s);
unsigned get_be24(ByteIOContext* s);
unsigned get_be32(ByteIOContext* s);
uint64_t get_be64(ByteIOContext* s);
uint64_t ff_get_v(ByteIOContext* s);
int get_buffer(ByteIOContext* s, unsigned char* buf, int size);  // bytes delivered
int get_partial_buffer(ByteIOContext* s, unsigned char* buf, int size);
char* get_strz(ByteIOContext* s, char* buf, int maxlen);
char* url_fgets(ByteIOContext* s, char* buf, int buf_size);

// Writers; a failing write is recorded in error and the bytes are dropped.
void put_byte(ByteIOContext* s, int b);
void put_le16(ByteIOContext* s, unsigned val);
void put_be16(ByteIOContext* s, unsigned val);
void put_le24(ByteIOContext* s, unsigned val);
void put_be24(ByteIOContext* s, unsigned val);
void put_le32(ByteIOContext* s, unsigned val);
void put_be32(ByteIOContext* s, unsigned val);
void put_le64(ByteIOContext* s, uint64_t val);
void put_be64(ByteIOContext* s, uint64_t val);
void put_buffer(ByteIOContext* s, const unsigned char* buf, int size);
void put_tag(ByteIOContext* s, const char* tag);
void put_strz(ByteIOContext* s, const char* str);
void put_flush_packet(ByteIOContext* s);

void init_checksum(ByteIOContext* s,
                   unsigned long (*update_checksum)(unsigned long, const uint8_t*, unsigned),
                   unsigned long checksum);
unsigned long get_checksum(ByteIOContext* s);

// Memory streams. url_open_buf works over the caller's block; after
// url_close_buf the caller frees the context with av_free and its block itself.
int url_open_buf(ByteIOContext** s, uint8_t* buf, int size, int flags);
int url_close_buf(ByteIOContext* s);
int url_open_dyn_buf(ByteIOContext** s);
int url_open_dyn_packet_buf(ByteIOContext** s, int max_packet_size);
// Hands the written bytes to *pbuffer (the caller frees them with av_free),
// releases the stream and returns the byte count.
int url_close_dyn_buf(ByteIOContext* s, uint8_t** pbuffer);

}  // namespace container
