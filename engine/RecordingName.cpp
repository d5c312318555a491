#include "engine/RecordingName.h"

#include <QStringList>
#include <QVector>
#include <algorithm>
#include <array>

namespace {

enum FieldIndex {
    kStartField,
    kTypeField,
    kDurationField,
    kSizeField,
    kWidthField,
    kHeightField,
    kFrameRateField,
    kBitrateField,
    kCarField,
    kChannelField,
};

const QString kStartFormat = QStringLiteral("yyyyMMddHHmmss");

// Record-type codes in lookup order; "NM", "TI" and "MO" have bits of their
// own, every other code means an alarm.
const std::array<const char*, 67> kTypeCodes = {
    "NM", "TI", "MO", "SP", "GS", "TP", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8",
    "BT", "RD", "AC", "DC", "TA", "TG", "IP", "TL", "TR", "CP", "B1", "B2", "B3", "B4",
    "B5", "B6", "B7", "B8", "FT", "DS", "ND", "SM", "CA", "PB", "CR", "SK", "OS", "SC",
    "RA", "RN", "SE", "GE", "RM", "YW", "AF", "NK", "L2", "OT", "LT", "OR", "LR", "OD",
    "CD", "SA", "P1", "P2", "P3", "P4", "NB", "SG", "CG", "CO", "EF"};

quint8 typeBit(const QStringRef& code) {
    const auto found = std::find_if(kTypeCodes.begin(), kTypeCodes.end(),
                                    [&](const char* c) { return code == QLatin1String(c); });
    if (found == kTypeCodes.end())
        return 0;
    switch (found - kTypeCodes.begin()) {
        case 0:
            return RecordingName::kManualBit;
        case 1:
            return RecordingName::kTimeLapseBit;
        case 2:
            return RecordingName::kMotionBit;
        default:
            return RecordingName::kAlarmBit;
    }
}

int toInt(const QStringRef& field) {
    bool ok = false;
    const int value = field.toInt(&ok, 10);
    return ok ? value : 0;
}

int digitsAt(const QStringRef& text, int at, int count) {
    int value = 0;
    for (int i = at; i < at + count; ++i)
        value = value * 10 + (text.at(i).unicode() - '0');
    return value;
}

QString stripLeadingZeros(const QStringRef& field) {
    int first = 0;
    while (first < field.size() && field.at(first) == QLatin1Char('0'))
        ++first;
    // All zeros (or empty) stays as it is: "0000" is a car number too.
    return (first == field.size() ? field : field.mid(first)).toString();
}

QString digits(qint64 value, int width) {
    return QString::number(std::max<qint64>(value, 0)).rightJustified(width, QLatin1Char('0'));
}

}  // namespace

bool RecordingName::HasRecordingExtension(const QString& name) {
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && name.midRef(dot + 1) == QLatin1String("avi");
}

bool RecordingName::Parse(const QString& fileName, Fields* out) {
    if (fileName.size() < kMinLength)
        return false;
    const QVector<QStringRef> fields = fileName.splitRef(QLatin1Char('_'));
    if (fields.size() < kMinFields)
        return false;
    // Sizes of 2 GiB and more are kept whole rather than read as 0.
    bool sizeOk = false;
    const qint64 size = fields[kSizeField].toLongLong(&sizeOk, 10);
    if (!sizeOk || size < kMinFileSize)
        return false;

    out->fileSize = size;
    out->start = ParseStart(fields[kStartField]);
    out->typeBit = typeBit(fields[kTypeField]);
    out->durationMs = toInt(fields[kDurationField]);
    out->width = toInt(fields[kWidthField]);
    out->height = toInt(fields[kHeightField]);
    out->frameRate = toInt(fields[kFrameRateField]);
    out->bitrate = toInt(fields[kBitrateField]);
    out->carNumber = stripLeadingZeros(fields[kCarField]);
    out->channel = toInt(fields[kChannelField]);
    return true;
}

QDateTime RecordingName::ParseStart(const QStringRef& field) {
    if (field.size() != kStartLength)
        return QDateTime();
    for (const QChar c : field) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QDateTime();
    }
    const QDate date(digitsAt(field, 0, 4), digitsAt(field, 4, 2), digitsAt(field, 6, 2));
    const QTime time(digitsAt(field, 8, 2), digitsAt(field, 10, 2), digitsAt(field, 12, 2));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

QString RecordingName::FileNameOf(const QString& path) {
    const int slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

QDateTime RecordingName::StartOf(const QString& path) {
    const QString name = FileNameOf(path);
    return ParseStart(name.leftRef(name.indexOf(QLatin1Char('_'))));
}

QString RecordingName::ClipName(const QString& source, qint64 beginMs, qint64 lengthMs,
                                qint64 size) {
    QStringList fields = FileNameOf(source).split(QLatin1Char('_'));
    if (fields.size() <= kSizeField)
        return QString();
    const QDateTime start = ParseStart(QStringRef(&fields[kStartField]));
    if (start.isValid())
        fields[kStartField] = start.addMSecs(beginMs).toString(kStartFormat);
    fields[kDurationField] = digits(lengthMs, kLengthDigits);
    fields[kSizeField] = digits(size, kSizeDigits);
    return fields.join(QLatin1Char('_'));
}

QString RecordingName::WithLengthAndSize(const QString& path, qint64 lengthMs, qint64 size) {
    const QString name = FileNameOf(path);
    QStringList fields = name.split(QLatin1Char('_'));
    if (fields.size() <= kSizeField)
        return QString();
    fields[kDurationField] = digits(lengthMs, kLengthDigits);
    fields[kSizeField] = digits(size, kSizeDigits);
    return path.left(path.size() - name.size()) + fields.join(QLatin1Char('_'));
}
