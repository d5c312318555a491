#include "container/aviobuf.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "container/error.h"
#include "container/mem.h"

namespace container {

namespace {

constexpr int64_t kShortForwardSeek = 0x10000;
constexpr int64_t kMaxDynBuffer = 0x3fffffff;
constexpr int kDynIoBufferSize = 1024;

// Adapters from the stream's callbacks to the URL context behind it.
int read_url(void* h, uint8_t* buf, int size) {
    return url_read(static_cast<URLContext*>(h), buf, size);
}
int write_url(void* h, uint8_t* buf, int size) {
    return url_write(static_cast<URLContext*>(h), buf, size);
}
int64_t seek_url(void* h, int64_t pos, int whence) {
    return url_seek(static_cast<URLContext*>(h), pos, whence);
}
int pause_url(void* h, int pause) {
    return av_url_read_pause(static_cast<URLContext*>(h), pause);
}
int64_t seek_url_stream(void* h, int stream_index, int64_t timestamp, int flags) {
    return av_url_read_seek(static_cast<URLContext*>(h), stream_index, timestamp, flags);
}

void record_error(ByteIOContext* s, int result) {
    if (result < 0 && s->error == 0)
        s->error = result;
}

void fold_checksum(ByteIOContext* s, unsigned char* end) {
    if (s->update_checksum && end > s->checksum_ptr)
        s->checksum = s->update_checksum(s->checksum, s->checksum_ptr,
                                         static_cast<unsigned>(end - s->checksum_ptr));
    s->checksum_ptr = s->buffer;
}

// One read from the source into dst: the bytes read, or 0 once the end (or
// an error, recorded) is reached.
int read_source(ByteIOContext* s, unsigned char* dst, int len) {
    int got = (s->read_packet && !s->eof_reached) ? s->read_packet(s->opaque, dst, len) : 0;
    if (got <= 0) {
        s->eof_reached = 1;
        record_error(s, got);
        return 0;
    }
    s->pos += got;
    return got;
}

// Appends after the valid data while there is room, else starts over at the
// buffer's head. End of data and errors stick in eof_reached / error.
void fill_buffer(ByteIOContext* s) {
    unsigned char* dst = s->buf_end - s->buffer < s->buffer_size ? s->buf_end : s->buffer;
    int len = s->buffer_size - static_cast<int>(dst - s->buffer);
    if (s->eof_reached)
        return;
    if (s->update_checksum && dst == s->buffer)
        fold_checksum(s, s->buf_end);
    int got = read_source(s, dst, len);
    if (got == 0)
        return;
    s->buf_ptr = dst;
    s->buf_end = dst + got;
}

void flush_buffer(ByteIOContext* s) {
    unsigned char* end = std::max(s->buf_ptr, s->buf_ptr_max ? s->buf_ptr_max : s->buf_ptr);
    if (end > s->buffer) {
        int len = static_cast<int>(end - s->buffer);
        if (s->write_packet && s->error == 0)
            record_error(s, s->write_packet(s->opaque, s->buffer, len));
        if (s->update_checksum)
            fold_checksum(s, end);
        s->pos += len;
        if (s->buf_ptr < end) {
            // A seek moved back inside the buffer: continue where it pointed.
            int64_t logical = s->pos - (end - s->buf_ptr);
            if (!s->seek || s->seek(s->opaque, logical, 0) < 0)
                record_error(s, AVERROR_SPIPE);
            s->pos = logical;
        }
    }
    s->buf_ptr = s->buffer;
    s->buf_ptr_max = nullptr;
    s->buf_end = s->buffer + s->buffer_size;
}

void set_buf_end(ByteIOContext* s) {
    s->buf_end = s->write_flag ? s->buffer + s->buffer_size : s->buffer;
}

int64_t buffer_base(ByteIOContext* s) {
    return s->write_flag ? s->pos : s->pos - (s->buf_end - s->buffer);
}

DynBuffer* alloc_dyn_buffer(int io_buffer_size) {
    size_t bytes = offsetof(DynBuffer, io_buffer) + static_cast<size_t>(io_buffer_size);
    DynBuffer* d = static_cast<DynBuffer*>(av_mallocz(bytes));
    if (d)
        d->io_buffer_size = io_buffer_size;
    return d;
}

int dyn_buf_write(void* opaque, uint8_t* buf, int n) {
    DynBuffer* d = static_cast<DynBuffer*>(opaque);
    int64_t end = static_cast<int64_t>(d->pos) + n;
    if (n < 0 || end > kMaxDynBuffer)
        return AVERROR_UNKNOWN;
    if (end > d->allocated_size) {
        int64_t grown = d->allocated_size ? d->allocated_size : end;
        while (end > grown)
            grown += grown / 2 + 1;
        grown = std::min<int64_t>(grown, kMaxDynBuffer);
        uint8_t* block = static_cast<uint8_t*>(av_realloc(d->buffer, static_cast<size_t>(grown)));
        if (!block)
            return AVERROR_DYNBUF;
        d->buffer = block;
        d->allocated_size = static_cast<int>(grown);
    }
    if (d->pos > d->size)  // a seek past the end leaves a gap: zeros, not old heap bytes
        std::memset(d->buffer + d->size, 0, static_cast<size_t>(d->pos - d->size));
    std::memcpy(d->buffer + d->pos, buf, static_cast<size_t>(n));
    d->pos = static_cast<int>(end);
    d->size = std::max(d->size, d->pos);
    return n;
}

int dyn_packet_buf_write(void* opaque, uint8_t* buf, int n) {
    uint8_t length[4] = {static_cast<uint8_t>(static_cast<unsigned>(n) >> 24),
                         static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                         static_cast<uint8_t>(n)};
    int r = dyn_buf_write(opaque, length, 4);
    if (r < 0)
        return r;
    return dyn_buf_write(opaque, buf, n);
}

int64_t dyn_buf_seek(void* opaque, int64_t offset, int whence) {
    DynBuffer* d = static_cast<DynBuffer*>(opaque);
    if (whence == AVSEEK_SIZE)
        return d->size;
    if (whence == 1)
        offset += d->pos;
    else if (whence == 2)
        offset += d->size;
    if (offset < 0 || offset > 0x7fffffff)
        return AVERROR_UNKNOWN;
    d->pos = static_cast<int>(offset);
    return 0;
}

int open_dyn(ByteIOContext** s, int io_buffer_size, bool packets) {
    DynBuffer* d = alloc_dyn_buffer(io_buffer_size);
    if (!d)
        return AVERROR_UNKNOWN;
    *s = av_alloc_put_byte(d->io_buffer, io_buffer_size, 1, d, nullptr,
                           packets ? dyn_packet_buf_write : dyn_buf_write,
                           packets ? nullptr : dyn_buf_seek);
    if (!*s) {
        av_free(d);
        return AVERROR_NOMEM;
    }
    if (packets)
        (*s)->max_packet_size = io_buffer_size;
    return 0;
}

}  // namespace

int init_put_byte(ByteIOContext* s, unsigned char* buffer, int buffer_size, int write_flag,
                  void* opaque, int (*read_packet)(void*, uint8_t*, int),
                  int (*write_packet)(void*, uint8_t*, int), int64_t (*seek)(void*, int64_t, int)) {
    s->buffer = buffer;
    s->buffer_size = buffer_size;
    s->buf_ptr = buffer;
    s->buf_ptr_max = nullptr;
    s->write_flag = write_flag;
    s->opaque = opaque;
    s->read_packet = read_packet;
    s->write_packet = write_packet;
    s->seek = seek;
    s->pos = 0;
    s->must_flush = 0;
    s->eof_reached = 0;
    s->error = 0;
    s->is_streamed = 0;
    s->max_packet_size = 0;
    s->update_checksum = nullptr;
    s->read_pause = nullptr;
    s->read_seek = nullptr;
    set_buf_end(s);
    if (!read_packet && !write_flag) {
        s->pos = buffer_size;
        s->buf_end = buffer + buffer_size;
    }
    return 0;
}

ByteIOContext* av_alloc_put_byte(unsigned char* buffer, int buffer_size, int write_flag,
                                 void* opaque, int (*read_packet)(void*, uint8_t*, int),
                                 int (*write_packet)(void*, uint8_t*, int),
                                 int64_t (*seek)(void*, int64_t, int)) {
    ByteIOContext* s = static_cast<ByteIOContext*>(av_mallocz(sizeof(ByteIOContext)));
    if (s)
        init_put_byte(s, buffer, buffer_size, write_flag, opaque, read_packet, write_packet, seek);
    return s;
}

int url_fdopen(ByteIOContext** s, URLContext* h) {
    int size = h->max_packet_size ? h->max_packet_size : IO_BUFFER_SIZE;
    unsigned char* buffer = static_cast<unsigned char*>(av_mallocz(static_cast<size_t>(size)));
    ByteIOContext* ctx = static_cast<ByteIOContext*>(av_mallocz(sizeof(ByteIOContext)));
    if (!buffer || !ctx) {
        av_free(buffer);
        av_free(ctx);
        return AVERROR_NOMEM;
    }
    int write = (h->flags & (URL_WRONLY | URL_RDWR)) ? 1 : 0;
    init_put_byte(ctx, buffer, size, write, h, read_url, write_url, seek_url);
    ctx->is_streamed = h->is_streamed;
    ctx->max_packet_size = h->max_packet_size;
    if (h->prot->url_read_pause)
        ctx->read_pause = pause_url;
    if (h->prot->url_read_seek)
        ctx->read_seek = seek_url_stream;
    *s = ctx;
    return 0;
}

int url_fopen(ByteIOContext** s, const char* filename, int flags) {
    URLContext* h;
    int err = url_open(&h, filename, flags);
    if (err < 0)
        return err;
    err = url_fdopen(s, h);
    if (err < 0)
        url_close(h);
    return err;
}

ByteIOContext* url_open_file(const char* filename, int flags) {
    ByteIOContext* s = nullptr;
    return url_fopen(&s, filename, flags) < 0 ? nullptr : s;
}

int url_fclose(ByteIOContext* s) {
    if (!s)
        return 0;
    if (s->write_flag)
        put_flush_packet(s);
    URLContext* h = static_cast<URLContext*>(s->opaque);
    av_free(s->buffer);
    av_free(s);
    return url_close(h);
}

int url_setbufsize(ByteIOContext* s, int buf_size) {
    if (buf_size < 1)
        return AVERROR_INVAL;
    unsigned char* buffer = static_cast<unsigned char*>(av_malloc(static_cast<size_t>(buf_size)));
    if (!buffer)
        return AVERROR_NOMEM;
    av_free(s->buffer);
    s->buffer = buffer;
    s->buffer_size = buf_size;
    s->buf_ptr = buffer;
    s->buf_ptr_max = nullptr;
    set_buf_end(s);
    return 0;
}

int url_resetbuf(ByteIOContext* s, int flags) {
    if (flags & URL_RDWR)
        return AVERROR_INVAL;
    s->write_flag = flags & URL_WRONLY;
    s->buf_ptr = s->buffer;
    s->buf_ptr_max = nullptr;
    set_buf_end(s);
    return 0;
}

int64_t url_ftell(ByteIOContext* s) {
    return url_fseek(s, 0, 1);
}

int64_t url_fsize(ByteIOContext* s) {
    if (!s)
        return AVERROR_INVAL;
    if (!s->seek)
        return AVERROR_SPIPE;
    int64_t size = s->seek(s->opaque, 0, AVSEEK_SIZE);
    if (size >= 0)
        return size;
    size = s->seek(s->opaque, -1, 2);
    if (size < 0)
        return size;
    s->seek(s->opaque, s->pos, 0);
    return size + 1;
}

int url_feof(ByteIOContext* s) {
    return s ? s->eof_reached : 0;
}
int url_ferror(ByteIOContext* s) {
    return s ? s->error : 0;
}
URLContext* url_fileno(ByteIOContext* s) {
    return static_cast<URLContext*>(s->opaque);
}
int url_fget_max_packet_size(ByteIOContext* s) {
    return s->max_packet_size;
}

int64_t url_fseek(ByteIOContext* s, int64_t offset, int whence) {
    if (!s || (whence != 0 && whence != 1))
        return AVERROR_INVAL;
    int64_t base = buffer_base(s);
    int64_t target = offset;
    if (whence == 1) {
        int64_t current = base + (s->buf_ptr - s->buffer);
        if (offset == 0)
            return current;
        target = current + offset;
    }
    int64_t d = target - base;
    if (s->write_flag) {
        // Writing: only the part already written counts as buffered.
        s->buf_ptr_max = std::max(s->buf_ptr, s->buf_ptr_max ? s->buf_ptr_max : s->buf_ptr);
        if (!s->must_flush && d >= 0 && d <= s->buf_ptr_max - s->buffer && d < s->buffer_size) {
            s->buf_ptr = s->buffer + d;
            return target;
        }
    } else if (d >= 0 && d < s->buf_end - s->buffer) {
        s->buf_ptr = s->buffer + d;
        s->eof_reached = 0;
        return target;
    }
    if (s->is_streamed && !s->write_flag && d >= 0 &&
        d < (s->buf_end - s->buffer) + kShortForwardSeek) {
        while (s->pos < target && !s->eof_reached)
            fill_buffer(s);
        if (s->eof_reached)
            return AVERROR_SPIPE;
        s->buf_ptr = s->buf_end - (s->pos - target);
        return target;
    }
    if (!s->seek)
        return AVERROR_SPIPE;
    if (s->write_flag) {
        flush_buffer(s);
        s->must_flush = 1;
    }
    int64_t r = s->seek(s->opaque, target, 0);
    if (r < 0)
        return r;
    if (!s->write_flag)
        s->buf_end = s->buffer;
    s->buf_ptr = s->buffer;
    s->pos = target;
    s->eof_reached = 0;
    return target;
}

int64_t url_fskip(ByteIOContext* s, int64_t offset) {
    return url_fseek(s, offset, 1);
}

int av_url_read_fpause(ByteIOContext* s, int pause) {
    if (!s->read_pause)
        return AVERROR_UNKNOWN;
    return s->read_pause(s->opaque, pause);
}

int64_t av_url_read_fseek(ByteIOContext* s, int stream_index, int64_t timestamp, int flags) {
    if (!s->read_seek)
        return AVERROR_UNKNOWN;
    int64_t r = s->read_seek(s->opaque, stream_index, timestamp, flags);
    if (r >= 0) {
        s->buf_ptr = s->buf_end;
        if (s->seek)
            s->pos = s->seek(s->opaque, 0, 1);
    }
    return r;
}

int get_byte(ByteIOContext* s) {
    if (s->buf_ptr >= s->buf_end)
        fill_buffer(s);
    if (s->buf_ptr < s->buf_end)
        return *s->buf_ptr++;
    return 0;
}

int url_fgetc(ByteIOContext* s) {
    if (s->buf_ptr >= s->buf_end)
        fill_buffer(s);
    if (s->buf_ptr < s->buf_end)
        return *s->buf_ptr++;
    return -1;
}

unsigned get_le16(ByteIOContext* s) {
    unsigned v = static_cast<unsigned>(get_byte(s));
    return v | static_cast<unsigned>(get_byte(s)) << 8;
}

unsigned get_le24(ByteIOContext* s) {
    unsigned v = get_le16(s);
    return v | static_cast<unsigned>(get_byte(s)) << 16;
}

unsigned get_le32(ByteIOContext* s) {
    unsigned v = get_le16(s);
    return v | get_le16(s) << 16;
}

uint64_t get_le64(ByteIOContext* s) {
    uint64_t v = get_le32(s);
    return v | static_cast<uint64_t>(get_le32(s)) << 32;
}

unsigned get_be16(ByteIOContext* s) {
    unsigned v = static_cast<unsigned>(get_byte(s)) << 8;
    return v | static_cast<unsigned>(get_byte(s));
}

unsigned get_be24(ByteIOContext* s) {
    unsigned v = get_be16(s) << 8;
    return v | static_cast<unsigned>(get_byte(s));
}

unsigned get_be32(ByteIOContext* s) {
    unsigned v = get_be16(s) << 16;
    return v | get_be16(s);
}

uint64_t get_be64(ByteIOContext* s) {
    uint64_t v = static_cast<uint64_t>(get_be32(s)) << 32;
    return v | get_be32(s);
}

uint64_t ff_get_v(ByteIOContext* s) {
    uint64_t v = 0;
    int byte;
    do {
        byte = get_byte(s);
        v = (v << 7) + static_cast<uint64_t>(byte & 127);
    } while (byte & 128);
    return v;
}

int get_buffer(ByteIOContext* s, unsigned char* buf, int size) {
    int wanted = size;
    while (size > 0) {
        int len = static_cast<int>(std::min<ptrdiff_t>(s->buf_end - s->buf_ptr, size));
        if (len > 0) {
            std::memcpy(buf, s->buf_ptr, static_cast<size_t>(len));
            s->buf_ptr += len;
            buf += len;
            size -= len;
            continue;
        }
        if (size > s->buffer_size && !s->update_checksum) {
            // Large reads go straight into the caller's memory.
            int got = read_source(s, buf, size);
            if (got == 0)
                break;
            buf += got;
            size -= got;
            s->buf_ptr = s->buffer;
            s->buf_end = s->buffer;
        } else {
            fill_buffer(s);
            if (s->buf_end <= s->buf_ptr)
                break;
        }
    }
    return wanted > 0 ? wanted - size : 0;
}

int get_partial_buffer(ByteIOContext* s, unsigned char* buf, int size) {
    if (size < 0)
        return AVERROR_UNKNOWN;
    if (s->buf_ptr >= s->buf_end)
        fill_buffer(s);
    int len = static_cast<int>(std::min<ptrdiff_t>(s->buf_end - s->buf_ptr, size));
    std::memcpy(buf, s->buf_ptr, static_cast<size_t>(len));
    s->buf_ptr += len;
    return len;
}

char* get_strz(ByteIOContext* s, char* buf, int maxlen) {
    int kept = 0;
    for (int c; (c = get_byte(s)) != 0;) {
        if (kept < maxlen - 1)
            buf[kept++] = static_cast<char>(c);
    }
    if (maxlen > 0)
        buf[kept] = '\0';
    return buf;
}

char* url_fgets(ByteIOContext* s, char* buf, int buf_size) {
    int c = url_fgetc(s);
    if (c < 0)
        return nullptr;
    int kept = 0;
    for (; c >= 0 && c != '\n'; c = url_fgetc(s)) {
        if (kept < buf_size - 1)
            buf[kept++] = static_cast<char>(c);
    }
    if (buf_size > 0)
        buf[kept] = '\0';
    return buf;
}

void put_byte(ByteIOContext* s, int b) {
    *s->buf_ptr++ = static_cast<unsigned char>(b);
    if (s->buf_ptr >= s->buf_end)
        flush_buffer(s);
}

void put_buffer(ByteIOContext* s, const unsigned char* buf, int size) {
    while (size > 0) {
        int len = static_cast<int>(std::min<ptrdiff_t>(s->buf_end - s->buf_ptr, size));
        std::memcpy(s->buf_ptr, buf, static_cast<size_t>(len));
        s->buf_ptr += len;
        if (s->buf_ptr >= s->buf_end)
            flush_buffer(s);
        buf += len;
        size -= len;
    }
}

void put_le16(ByteIOContext* s, unsigned val) {
    put_byte(s, static_cast<int>(val & 0xff));
    put_byte(s, static_cast<int>((val >> 8) & 0xff));
}

void put_be16(ByteIOContext* s, unsigned val) {
    put_byte(s, static_cast<int>((val >> 8) & 0xff));
    put_byte(s, static_cast<int>(val & 0xff));
}

void put_le24(ByteIOContext* s, unsigned val) {
    put_le16(s, val & 0xffff);
    put_byte(s, static_cast<int>((val >> 16) & 0xff));
}

void put_be24(ByteIOContext* s, unsigned val) {
    put_be16(s, (val >> 8) & 0xffff);
    put_byte(s, static_cast<int>(val & 0xff));
}

void put_le32(ByteIOContext* s, unsigned val) {
    put_le16(s, val & 0xffff);
    put_le16(s, val >> 16);
}

void put_be32(ByteIOContext* s, unsigned val) {
    put_be16(s, val >> 16);
    put_be16(s, val & 0xffff);
}

void put_le64(ByteIOContext* s, uint64_t val) {
    put_le32(s, static_cast<unsigned>(val));
    put_le32(s, static_cast<unsigned>(val >> 32));
}

void put_be64(ByteIOContext* s, uint64_t val) {
    put_be32(s, static_cast<unsigned>(val >> 32));
    put_be32(s, static_cast<unsigned>(val));
}

void put_tag(ByteIOContext* s, const char* tag) {
    while (*tag)
        put_byte(s, static_cast<unsigned char>(*tag++));
}

void put_strz(ByteIOContext* s, const char* str) {
    if (str)
        put_buffer(s, reinterpret_cast<const unsigned char*>(str),
                   static_cast<int>(std::strlen(str)));
    put_byte(s, 0);
}

void put_flush_packet(ByteIOContext* s) {
    flush_buffer(s);
    s->must_flush = 0;
}

void init_checksum(ByteIOContext* s,
                   unsigned long (*update_checksum)(unsigned long, const uint8_t*, unsigned),
                   unsigned long checksum) {
    s->update_checksum = update_checksum;
    if (update_checksum) {
        s->checksum = checksum;
        s->checksum_ptr = s->buf_ptr;
    }
}

unsigned long get_checksum(ByteIOContext* s) {
    if (s->update_checksum && s->buf_ptr > s->checksum_ptr)
        s->checksum = s->update_checksum(s->checksum, s->checksum_ptr,
                                         static_cast<unsigned>(s->buf_ptr - s->checksum_ptr));
    s->update_checksum = nullptr;
    return s->checksum;
}

int url_open_buf(ByteIOContext** s, uint8_t* buf, int size, int flags) {
    int write = (flags & (URL_WRONLY | URL_RDWR)) ? 1 : 0;
    *s = av_alloc_put_byte(buf, size, write, nullptr, nullptr, nullptr, nullptr);
    return *s ? 0 : AVERROR_NOMEM;
}

int url_close_buf(ByteIOContext* s) {
    if (s->write_flag)
        put_flush_packet(s);
    return 0;
}

int url_open_dyn_buf(ByteIOContext** s) {
    return open_dyn(s, kDynIoBufferSize, false);
}

int url_open_dyn_packet_buf(ByteIOContext** s, int max_packet_size) {
    if (max_packet_size < 1)
        return AVERROR_UNKNOWN;
    return open_dyn(s, max_packet_size, true);
}

int url_close_dyn_buf(ByteIOContext* s, uint8_t** pbuffer) {
    put_flush_packet(s);
    DynBuffer* d = static_cast<DynBuffer*>(s->opaque);
    *pbuffer = d->buffer;
    int size = d->size;
    av_free(d);
    av_free(s);
    return size;
}

}  // namespace container
