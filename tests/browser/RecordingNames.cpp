#include "RecordingNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace testnames {

QString RecordingName::name() const {
    return QStringList{start,     type,    duration, size,    width, height,
                       frameRate, bitrate, car,      channel, tail}
        .join('_');
}

QString RecordingName::nameOfLength(int length) const {
    RecordingName shaped = *this;
    shaped.tail = "x.avi";
    const int missing = length - shaped.name().size();
    shaped.tail = missing >= 0 ? QString(missing + 1, 'x') + ".avi" : QString();
    return shaped.name();
}

bool touchFile(const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

}  // namespace testnames
