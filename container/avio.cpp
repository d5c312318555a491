#include "container/avio.h"

#include <cctype>
#include <cstring>

#include "container/error.h"
#include "container/mem.h"

namespace container {

URLProtocol* first_protocol = &file_protocol;
URLInterruptCB url_interrupt_cb = default_interrupt_cb;

int default_interrupt_cb() {
    return 0;
}

namespace {

constexpr size_t kMaxProtocolName = 127;

bool can_write(const URLContext* h) {
    return h->flags & (URL_WRONLY | URL_RDWR);
}

// The protocol named by the letters before a ':', or "file" when there are
// fewer than two letters (a drive letter) or something else comes first.
void protocol_name(const char* filename, char* name) {
    size_t kept = 0, scanned = 0;
    const char* p = filename;
    for (; *p && *p != ':'; ++p, ++scanned) {
        if (!std::isalpha(static_cast<unsigned char>(*p)))
            break;
        if (kept < kMaxProtocolName)
            name[kept++] = *p;
    }
    name[kept] = '\0';
    if (*p != ':' || scanned < 2)
        std::strcpy(name, "file");
}

}  // namespace

int url_open_protocol(URLContext** h, URLProtocol* up, const char* filename, int flags) {
    size_t len = std::strlen(filename);
    URLContext* ctx = static_cast<URLContext*>(av_mallocz(sizeof(URLContext) + len + 1));
    if (!ctx) {
        *h = nullptr;
        return AVERROR_NOMEM;
    }
    ctx->filename = reinterpret_cast<char*>(ctx + 1);
    std::memcpy(ctx->filename, filename, len + 1);
    ctx->prot = up;
    ctx->flags = flags;
    int err = up->url_open(ctx, filename, flags);
    if (err < 0) {
        av_free(ctx);
        *h = nullptr;
        return err;
    }
    bool probe = can_write(ctx) || std::strcmp(up->name, "file") == 0;
    if (probe && !ctx->is_streamed && (!up->url_seek || up->url_seek(ctx, 0, 0) < 0))
        ctx->is_streamed = 1;
    *h = ctx;
    return 0;
}

int url_open(URLContext** h, const char* filename, int flags) {
    char name[kMaxProtocolName + 1];
    protocol_name(filename, name);
    for (URLProtocol* up = first_protocol; up; up = up->next) {
        if (std::strcmp(up->name, name) == 0)
            return url_open_protocol(h, up, filename, flags);
    }
    *h = nullptr;
    return AVERROR_NOENT;
}

int url_read(URLContext* h, unsigned char* buf, int size) {
    if (h->flags & URL_WRONLY)
        return AVERROR_IO;
    return h->prot->url_read(h, buf, size);
}

int url_write(URLContext* h, unsigned char* buf, int size) {
    if (!can_write(h))
        return AVERROR_IO;
    if (h->max_packet_size && size > h->max_packet_size)
        return AVERROR_IO;
    return h->prot->url_write(h, buf, size);
}

int64_t url_seek(URLContext* h, int64_t pos, int whence) {
    if (!h->prot->url_seek)
        return AVERROR_SPIPE;
    return h->prot->url_seek(h, pos, whence);
}

int url_close(URLContext* h) {
    if (!h)
        return 0;
    int result = h->prot->url_close ? h->prot->url_close(h) : 0;
    av_free(h);
    return result;
}

int url_exist(const char* filename) {
    URLContext* h;
    if (url_open(&h, filename, URL_RDONLY) < 0)
        return 0;
    url_close(h);
    return 1;
}

int64_t url_filesize(URLContext* h) {
    int64_t size = url_seek(h, 0, AVSEEK_SIZE);
    if (size >= 0)
        return size;
    int64_t pos = url_seek(h, 0, 1);
    size = url_seek(h, -1, 2);
    if (size < 0)
        return size;
    url_seek(h, pos, 0);
    return size + 1;
}

int url_get_max_packet_size(URLContext* h) {
    return h->max_packet_size;
}

void url_get_filename(URLContext* h, char* buf, int buf_size) {
    if (buf_size >= 1)
        av_strlcpy(buf, h->filename, static_cast<size_t>(buf_size));
}

void url_set_interrupt_cb(URLInterruptCB cb) {
    url_interrupt_cb = cb ? cb : default_interrupt_cb;
}

int av_url_read_pause(URLContext* h, int pause) {
    if (!h->prot->url_read_pause)
        return AVERROR_UNKNOWN;
    return h->prot->url_read_pause(h, pause);
}

int64_t av_url_read_seek(URLContext* h, int stream_index, int64_t timestamp, int flags) {
    if (!h->prot->url_read_seek)
        return AVERROR_UNKNOWN;
    return h->prot->url_read_seek(h, stream_index, timestamp, flags);
}

URLProtocol* av_protocol_next(URLProtocol* p) {
    return p ? p->next : first_protocol;
}

int register_protocol(URLProtocol* protocol) {
    URLProtocol** tail = &first_protocol;
    while (*tail)
        tail = &(*tail)->next;
    *tail = protocol;
    protocol->next = nullptr;
    return 0;
}

size_t av_strlcpy(char* dst, const char* src, size_t size) {
    size_t len = std::strlen(src);
    if (size > 0) {
        size_t n = len < size - 1 ? len : size - 1;
        std::memcpy(dst, src, n);
        dst[n] = '\0';
    }
    return len;
}

int strstart(const char* str, const char* prefix, const char** ptr) {
    while (*prefix && *prefix == *str) {
        ++prefix;
        ++str;
    }
    if (*prefix)
        return 0;
    if (ptr)
        *ptr = str;
    return 1;
}

}  // namespace container
