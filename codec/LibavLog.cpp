#include "codec/LibavLog.h"

#include <QDebug>

#include <cstdarg>
#include <mutex>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr int kLineSize = 1024;

// Pieces of one line may come in several calls; each thread gathers its own.
thread_local std::string pending;
thread_local int printPrefix = 1;

void toDebugStream(void* avcl, int level, const char* fmt, va_list args) {
    if (level > av_log_get_level())
        return;
    char piece[kLineSize];
    av_log_format_line2(avcl, level, fmt, args, piece, sizeof piece, &printPrefix);
    pending += piece;
    if (pending.empty() || pending.back() != '\n')
        return;
    pending.pop_back();
    qDebug().noquote() << QString::fromStdString(pending);
    pending.clear();
}

}  // namespace

void LibavLog::Install() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(toDebugStream); });
}
