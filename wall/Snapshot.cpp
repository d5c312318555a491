#include "wall/Snapshot.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QtDebug>
#include <algorithm>
#include <atomic>

#include <unistd.h>

#include "codec/I420Layout.h"

namespace {

// Shared by every cell; counts named files since the process started.
std::atomic<unsigned> snapshotCounter{0};

// Digits of the counter in a name: 000 to 999, so this many names per second.
constexpr unsigned kNamesPerSecond = 1000;
// Random hidden names tried before the folder counts as unwritable.
constexpr int kHiddenNameTries = 8;

unsigned char clampToByte(double value) {
    const int v = static_cast<int>(value);  // toward zero, then clamped
    return static_cast<unsigned char>(std::clamp(v, 0, 255));
}

}  // namespace

Snapshot::Snapshot(const unsigned char* frame, int width, int height, const QString& folder)
    : folder(folder) {
    const I420Layout layout = I420Layout::ForSize(width, height);
    if (frame && layout.size > 0) {
        frameCopy.assign(frame, frame + layout.size);
        this->width = width;
        this->height = height;
    }
}

Snapshot::~Snapshot() {
    if (worker.joinable())
        worker.join();
}

void Snapshot::Start() {
    if (worker.joinable())
        return;  // one run per snapshot
    worker = std::thread(&Snapshot::save, this);
}

bool Snapshot::yv12torgb24(const unsigned char* y, const unsigned char* u, const unsigned char* v,
                           unsigned char* rgb, int width, int height) {
    const I420Layout layout = I420Layout::ForSize(width, height);
    if (!y || !u || !v || !rgb || layout.size == 0)
        return false;
    for (int i = 0; i < height; ++i) {
        const unsigned char* yRow = y + int64_t(i) * width;
        const int64_t chromaRow = int64_t(i / 2) * layout.chromaWidth;
        unsigned char* out = rgb + int64_t(i) * width * 3;
        for (int j = 0; j < width; ++j) {
            const double Y = yRow[j];
            const double U = u[chromaRow + j / 2] - 128.0;
            const double V = v[chromaRow + j / 2] - 128.0;
            *out++ = clampToByte(Y + 1.370705 * V);
            *out++ = clampToByte(Y - 0.698001 * V - 0.337633 * U);
            *out++ = clampToByte(Y + 1.732446 * U);
        }
    }
    return true;
}

bool Snapshot::createHidden(QFile& file) const {
    for (int tries = 0; tries < kHiddenNameTries; ++tries) {
        const QString random = QString::number(QRandomGenerator::global()->generate64(), 16);
        file.setFileName(folder + QStringLiteral(".snapshot-") + random);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFileInfo::exists(file.fileName()))
            return false;  // not a name taken by chance: the folder cannot hold it
    }
    return false;
}

QString Snapshot::write(const QImage& image) {
    // Written whole under a hidden name first: a full disk or a folder that
    // goes away leaves nothing under a snapshot's name.
    QFile file;
    if (!createHidden(file))
        return QString();
    const bool whole = image.save(&file, "BMP") && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (whole) {
        const QString stamp = QDateTime::currentDateTime().toString("yyyyMMddhhmmss");
        for (unsigned tries = 0; tries < kNamesPerSecond; ++tries) {
            const unsigned n = snapshotCounter.fetch_add(1) % kNamesPerSecond;
            const QString name =
                folder + stamp + QString::number(n).rightJustified(3, '0') + ".bmp";
            // rename() never replaces a file, so taking a name and finding it
            // free are one step; a name taken meanwhile steps the counter on.
            if (QFile::rename(file.fileName(), name))
                return name;
            if (!QFileInfo::exists(name))
                break;  // not a taken name: the folder cannot hold it
        }
    }
    QFile::remove(file.fileName());
    return QString();
}

void Snapshot::save() {
    const I420Layout layout = I420Layout::ForSize(width, height);
    if (frameCopy.empty())
        return;
    std::vector<unsigned char> rgb(size_t(layout.width) * layout.height * 3);
    const unsigned char* y = frameCopy.data();
    if (!yv12torgb24(y, y + layout.uOffset, y + layout.vOffset, rgb.data(), width, height))
        return;
    const QImage image(rgb.data(), width, height, 3 * width, QImage::Format_RGB888);
    const QString name = write(image);
    if (name.isEmpty()) {
        qWarning() << "Snapshot: cannot write into" << folder;
        return;
    }
    emit Signal_Image(name);
}
