#include "browser/CopyFileS.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    if (!QFileInfo(dest).isDir()) {
        emit Signal_error(SavePathError, tr("save path error!"));
        return;
    }
    const int total = files.size();
    for (int i = 0; i < total; ++i) {
        if (stopped) {
            emit Signal_error(ForcedShutdown, tr("Forced shutdown!"));
            return;
        }
        // The name alone decides the target, so a path never leads outside
        // dest. QFile::copy writes a temporary file beside the target and
        // renames it without replacing; it refuses an existing target.
        const QString name = QFileInfo(files[i]).fileName();
        if (name.isEmpty() || !QFile::copy(files[i], QDir(dest).filePath(name))) {
            emit Signal_error(CopyFailed, tr("copy file failed!"));
            return;
        }
        emit Signal_copy(name, i + 1, total);
    }
    emit Signal_successful();
}
