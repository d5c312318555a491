#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The one definition of a recording file's name, shared by the recording
// list, the engine and the clip cutter. The name is split on every "_"
// (empty fields count): 0 start "yyyyMMddHHmmss", 1 record-type code,
// 2 duration in ms, 3 file size, 4 width, 5 height, 6 frame rate, 7 bitrate,
// 8 car number, 9 channel; later fields are carried into clip names as they
// are. Plain functions over a plain record; any thread.
class RecordingName {
public:
    static constexpr int kMinLength = 108;  // shorter names are not listed
    static constexpr int kMinFields = 10;   // up to the channel number
    static constexpr qint64 kMinFileSize = 15360;
    static constexpr int kStartLength = 14;  // yyyyMMddHHmmss
    static constexpr int kLengthDigits = 7;  // a clip's field 2, at least
    static constexpr int kSizeDigits = 10;   // a clip's field 3, at least
    // Record-type bits.
    static constexpr quint8 kManualBit = 8;
    static constexpr quint8 kTimeLapseBit = 4;
    static constexpr quint8 kMotionBit = 2;
    static constexpr quint8 kAlarmBit = 1;

    // What a listed name says. Numeric fields that are not decimal read as 0.
    struct Fields {
        // The recorder's wall clock, kept as a UTC date-time so that a start
        // in a skipped daylight-saving hour stays valid and ordered, whatever
        // the local zone. Invalid unless field 0 is exactly a valid
        // yyyyMMddHHmmss.
        QDateTime start;
        quint8 typeBit = 0;  // 8, 4, 2 or 1; 0 for a code outside the table
        int durationMs = 0;
        qint64 fileSize = 0;
        int width = 0;
        int height = 0;
        int frameRate = 0;
        int bitrate = 0;    // bits per second
        QString carNumber;  // leading '0's removed unless it is all '0's
        int channel = 0;    // from 1
    };

    // True when the part of name after its last "." is exactly "avi".
    static bool HasRecordingExtension(const QString& name);
    // Parses a file name (no folder) into *out; false when the file is not
    // listed (too short, fewer than ten fields, size not decimal or below
    // kMinFileSize), and then *out is of no meaning.
    static bool Parse(const QString& fileName, Fields* out);
    // The start time of field 0 of the file a path names ("/" or "\"
    // separators); invalid as in Fields::start.
    static QDateTime StartOf(const QString& path);
    // The file-name part of a path written with "/" or "\" separators.
    static QString FileNameOf(const QString& path);

    // The file name of a clip cut from the file `source` (a name or a path):
    // field 0 moved by beginMs, field 2 the length (at least 7 digits),
    // field 3 the size (at least 10 digits), the other fields as they are.
    // A field 0 that is no start time is kept. Empty when the name has fewer
    // than four fields.
    static QString ClipName(const QString& source, qint64 beginMs, qint64 lengthMs, qint64 size);
    // path with field 2 of its file name set to lengthMs (at least 7 digits)
    // and field 3 to size (at least 10 digits); the folder, whatever "_" it
    // holds, stays. Empty when the name has fewer than four fields.
    static QString WithLengthAndSize(const QString& path, qint64 lengthMs, qint64 size);

private:
    // Field 0 as a start time; invalid unless it is a valid yyyyMMddHHmmss.
    static QDateTime ParseStart(const QStringRef& field);
};
