#pragma once

#include <cstddef>
#include <cstdint>

namespace container {

// Open flags of the URL layer, tested as bits.
constexpr int URL_RDONLY = 0;
constexpr int URL_WRONLY = 1;
constexpr int URL_RDWR = 2;

// Extra whence of url_seek: ask for the size without moving.
constexpr int AVSEEK_SIZE = 0x10000;

struct URLContext;

struct URLProtocol {
    const char* name;
    int (*url_open)(URLContext* h, const char* filename, int flags);
    int (*url_read)(URLContext* h, unsigned char* buf, int size);
    int (*url_write)(URLContext* h, unsigned char* buf, int size);
    int64_t (*url_seek)(URLContext* h, int64_t pos, int whence);  // null: cannot seek
    int (*url_close)(URLContext* h);                              // may be null
    URLProtocol* next;
    int (*url_read_pause)(URLContext* h, int pause);
    int64_t (*url_read_seek)(URLContext* h, int stream_index, int64_t timestamp, int flags);
};

// One opened name. One allocation holds the record and the name behind it.
struct URLContext {
    URLProtocol* prot;
    int flags;
    int is_streamed;      // 1 = cannot seek
    int max_packet_size;  // 0 = byte stream
    intptr_t priv_data;   // the file and pipe protocols keep their descriptor here
    char* filename;
};

using URLInterruptCB = int (*)();

extern URLProtocol* first_protocol;
extern URLProtocol file_protocol;
extern URLProtocol pipe_protocol;
extern URLInterruptCB url_interrupt_cb;
int default_interrupt_cb();

// Opens filename with the protocol named by its prefix. 0 and *h set, or a
// negative code and *h null (-2 unknown protocol or cannot open, -12).
// The caller releases the context with url_close.
int url_open(URLContext** h, const char* filename, int flags);
int url_open_protocol(URLContext** h, URLProtocol* up, const char* filename, int flags);
int url_read(URLContext* h, unsigned char* buf, int size);
int url_write(URLContext* h, unsigned char* buf, int size);
int64_t url_seek(URLContext* h, int64_t pos, int whence);
int url_close(URLContext* h);
int url_exist(const char* filename);
int64_t url_filesize(URLContext* h);
int url_get_max_packet_size(URLContext* h);
void url_get_filename(URLContext* h, char* buf, int buf_size);
void url_set_interrupt_cb(URLInterruptCB cb);
int av_url_read_pause(URLContext* h, int pause);
int64_t av_url_read_seek(URLContext* h, int stream_index, int64_t timestamp, int flags);

URLProtocol* av_protocol_next(URLProtocol* p);
int register_protocol(URLProtocol* protocol);

// Copies at most size - 1 bytes and terminates when size > 0; returns strlen(src).
size_t av_strlcpy(char* dst, const char* src, size_t size);
// 1 when str begins with prefix, *ptr then points behind it.
int strstart(const char* str, const char* prefix, const char** ptr);

}  // namespace container
