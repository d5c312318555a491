#pragma once

#include <QObject>
#include <QString>
#include <thread>
#include <vector>

class QFile;
class QImage;

// One-shot worker that converts one I420 frame (codec's I420Layout) to RGB on
// its own thread and saves it as a 24-bit BMP named
// "<folder>yyyyMMddhhmmssNNN.bmp", NNN the last three digits of a process-wide
// counter. The file gets its name only once it is whole on the disk; a name
// already taken steps the counter on, so no file is ever overwritten, and a
// failed save leaves no file and sends no signal. Created, started and destroyed on the GUI thread;
// the destructor waits for the thread, which makes a snapshot synchronous.
class Snapshot : public QObject {
    Q_OBJECT

public:
    // Copies the frame at once: the caller may free it when this returns.
    // A null frame or a non-positive size leaves nothing to convert.
    Snapshot(const unsigned char* frame, int width, int height, const QString& folder);
    ~Snapshot() override;

    // Converts and saves on a thread of its own; once per snapshot.
    void Start();

    // BT.601 YUV to packed RGB24 (rows of 3 x width bytes). Chroma rows are
    // ceil(width / 2) wide as in I420Layout. False, writing nothing, on a
    // null plane or a non-positive size.
    static bool yv12torgb24(const unsigned char* y, const unsigned char* u, const unsigned char* v,
                            unsigned char* rgb, int width, int height);

signals:
    // Emitted from the worker thread once the file is written; reaches a
    // receiver on the GUI thread queued.
    void Signal_Image(QString filename);

private:
    void save();
    // Saves image under the first free counted name; empty when it fails.
    QString write(const QImage& image);
    // Creates a new hidden file in the folder; false when none can be made.
    bool createHidden(QFile& file) const;

    std::thread worker;
    std::vector<unsigned char> frameCopy;
    int width = 0;
    int height = 0;
    QString folder;
};
