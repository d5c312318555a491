#pragma once

#include <QObject>
#include <QStringList>
#include <QThread>
#include <atomic>

// Backup worker: copies a list of files, one after the other and each under
// its own name, into a folder, on a thread of its own. Reports through
// signals, which reach GUI-thread receivers queued.
class CopyFileS : public QObject {
    Q_OBJECT

public:
    enum Result {
        SavePathError = -1,   // the destination folder is missing or not writable
        CopyFailed = -2,      // a file could not be copied; the copy ends there
        ForcedShutdown = -3,  // stopped before a file
        ThreadExited = -4,    // Stop() after the copy had ended
    };

    CopyFileS(const QStringList& files, const QString& dest);
    // Stops the copy and waits for its thread, which leaves within one chunk;
    // the file in progress is dropped.
    ~CopyFileS() override;

    void Start();
    // Asks the copy to stop within its current chunk, dropping the file in
    // progress; after the end reports ThreadExited.
    void Stop();

signals:
    void Signal_copy(QString file, int index, int total);
    void Signal_error(int errorCode, QString errorMsg);
    void Signal_successful();

private:
    static constexpr qint64 kChunkBytes = 1 << 20;  // the stop flag is read between chunks

    enum Outcome { Copied, Failed, Stopped };

    // Runs on the copy thread: the copy, then the end of the thread.
    void run();
    // Copies the files in order and reports the outcome by one signal.
    void copyAll();
    // Copies source to dest/name; leaves nothing there unless it is Copied,
    // whole and on the disk. An existing file of that name is never replaced;
    // a source whose size changes during its copy fails.
    Outcome copyFile(const QString& source, const QString& name);

    // Written by the constructor only.
    QStringList files;
    QString dest;
    QThread thread;

    // Shared by the GUI thread and the copy thread: set to ask for a stop, and
    // by the copy itself when it has ended.
    std::atomic<bool> stopped{false};
    // Set by the copy thread as its last access to this object.
    std::atomic<bool> ended{false};
};
