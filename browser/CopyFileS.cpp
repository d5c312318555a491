#include "browser/CopyFileS.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

CopyFileS::CopyFileS(const QStringList& sourceFiles, const QString& destination)
    : files(sourceFiles), dest(destination) {
    connect(&thread, &QThread::started, this, &CopyFileS::run, Qt::DirectConnection);
}

CopyFileS::~CopyFileS() {
    stopped = true;
    thread.quit();
    thread.wait();
    // wait() orders the copy thread's end through Qt's own locks, which
    // ThreadSanitizer cannot see; this acquire states the same order to it.
    ended.load(std::memory_order_acquire);
}

void CopyFileS::Start() {
    moveToThread(&thread);
    thread.start(QThread::InheritPriority);
}

void CopyFileS::Stop() {
    if (stopped)
        emit Signal_error(ThreadExited,
                          QCoreApplication::translate("QObject", "Thread has exited!"));
    stopped = true;
}

void CopyFileS::run() {
    copyAll();
    stopped = true;
    ended.store(true, std::memory_order_release);
    thread.quit();
}

void CopyFileS::copyAll() {
    // An unwritable folder is refused up front: nothing can be copied there.
    const QFileInfo folder(dest);
    if (!folder.isDir() || !folder.isWritable()) {
        emit Signal_error(SavePathError, tr("save path error!"));
        return;
    }
    const int total = files.size();
    for (int i = 0; i < total; ++i) {
        if (stopped) {
            emit Signal_error(ForcedShutdown, tr("Forced shutdown!"));
            return;
        }
        // The name alone decides the target, so a path never leads outside dest.
        const QString name = QFileInfo(files[i]).fileName();
        const Outcome outcome = name.isEmpty() ? Failed : copyFile(files[i], name);
        if (outcome == Stopped) {
            emit Signal_error(ForcedShutdown, tr("Forced shutdown!"));
            return;
        }
        if (outcome == Failed) {
            emit Signal_error(CopyFailed, tr("copy file failed!"));
            return;
        }
        emit Signal_copy(name, i + 1, total);
    }
    emit Signal_successful();
}

CopyFileS::Outcome CopyFileS::copyFile(const QString& source, const QString& name) {
    const QString target = QDir(dest).filePath(name);
    QFile in(source);
    if (QFileInfo::exists(target) || !in.open(QIODevice::ReadOnly))
        return Failed;
    const qint64 size = in.size();
    // Written under a hidden temporary name beside the target, which it gets
    // only when whole; a stopped or failed copy removes it.
    QTemporaryFile out(QDir(dest).filePath(QStringLiteral(".%1.XXXXXX").arg(name)));
    if (!out.open())
        return Failed;
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        if (stopped)
            return Stopped;
        const qint64 got = in.read(chunk.data(), chunk.size());
        if (got < 0)
            return Failed;
        if (got == 0)
            break;
        if (out.write(chunk.constData(), got) != got)
            return Failed;
        copied += got;
    }
    // A source that changed size while it was read (truncated or still
    // growing) gave a copy that matches no state of it.
    if (copied != size || in.size() != size)
        return Failed;
    out.setPermissions(in.permissions());
    // On the disk before it takes the name; rename() never replaces a file
    // that appeared meanwhile.
    if (!out.flush() || ::fsync(out.handle()) != 0 || !out.rename(target))
        return Failed;
    out.setAutoRemove(false);  // it is the target now
    return Copied;
}
