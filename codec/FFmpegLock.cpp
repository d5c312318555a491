#include "codec/FFmpegLock.h"

#include <QMutex>

#include <cstdlib>

QMutex* FFmpegLock = nullptr;

namespace {

void FFmpegLock_destroy() {
    delete FFmpegLock;
    FFmpegLock = nullptr;
}

bool FFmpegLock_init() {
    FFmpegLock = new QMutex;
    std::atexit(FFmpegLock_destroy);
    return true;
}

const bool initialised = FFmpegLock_init();

}  // namespace
