// The "file" protocol over POSIX descriptors, and the unlisted "pipe" one.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "container/avio.h"

namespace container {

namespace {

int fd(URLContext* h) {
    return static_cast<int>(h->priv_data);
}

int read_retrying(int descriptor, unsigned char* buf, int size) {
    ssize_t n;
    do {
        n = ::read(descriptor, buf, static_cast<size_t>(size));
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

// A short write is continued until everything is out or the call fails.
int write_fully(int descriptor, const unsigned char* buf, int size) {
    int done = 0;
    while (done < size) {
        ssize_t n = ::write(descriptor, buf + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        done += static_cast<int>(n);
    }
    return done;
}

int file_open(URLContext* h, const char* filename, int flags) {
    strstart(filename, "file:", &filename);
    int mode = O_RDONLY;
    if (flags & URL_RDWR)
        mode = O_RDWR | O_CREAT | O_TRUNC;
    else if (flags & URL_WRONLY)
        mode = O_WRONLY | O_CREAT | O_TRUNC;
    int descriptor;
    do {
        descriptor = ::open(filename, mode | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return -2;
    h->priv_data = descriptor;
    return 0;
}

int file_read(URLContext* h, unsigned char* buf, int size) {
    return read_retrying(fd(h), buf, size);
}

int file_write(URLContext* h, unsigned char* buf, int size) {
    return write_fully(fd(h), buf, size);
}

int64_t file_seek(URLContext* h, int64_t pos, int whence) {
    return ::lseek(fd(h), static_cast<off_t>(pos), whence);
}

int file_close(URLContext* h) {
    return ::close(fd(h));
}

int pipe_open(URLContext* h, const char*, int flags) {
    h->priv_data = (flags & URL_WRONLY) ? STDOUT_FILENO : STDIN_FILENO;
    h->is_streamed = 1;
    return 0;
}

// The descriptor belongs to the process, not to us.
int pipe_close(URLContext*) {
    return 0;
}

}  // namespace

URLProtocol file_protocol = {"file",     file_open, file_read, file_write, file_seek,
                             file_close, nullptr,   nullptr,   nullptr};

// Reads and writes go through the descriptor as for a file.
URLProtocol pipe_protocol = {"pipe",     pipe_open, file_read, file_write, nullptr,
                             pipe_close, nullptr,   nullptr,   nullptr};

}  // namespace container
