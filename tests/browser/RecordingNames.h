#pragma once

#include <QString>
#include <ostream>

namespace testnames {

// Recorder-style file names for the browser tests and the listing benchmark,
// field by field. The defaults are the reference name of a 1920x1080 25 fps
// manual recording. A namespace of its own keeps it apart from the product's
// RecordingName, which a test file does not include beside this one.
struct RecordingName {
    QString start = "20190221173817";
    QString type = "NM";
    QString duration = "0035719";
    QString size = "0001085396";
    QString width = "1920";
    QString height = "1080";
    QString frameRate = "25";
    QString bitrate = "04194304";
    QString car = "0006666666666666";
    QString channel = "01";
    QString tail = "1711280006_00_642_0000000_V02_000_E08_0.avi";

    QString name() const;
    // The same fields with the tail stretched or cut so the name has exactly
    // length characters (it still ends in ".avi").
    QString nameOfLength(int length) const;
};

// Creates an empty file (and its folders); false on failure.
bool touchFile(const QString& path);

}  // namespace testnames

using testnames::RecordingName;
using testnames::touchFile;

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
