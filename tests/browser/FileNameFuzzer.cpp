// Any bytes as a file name: the parser must neither crash nor read absent
// fields, what it accepts must satisfy the listing rules, and a clip name
// keeps the field count of the source's file name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/RecordingName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QString clip = RecordingName::ClipName(name, 65000, 30000, 1085396);
    const int separators = RecordingName::FileNameOf(name).count(QLatin1Char('_'));
    if (!clip.isEmpty() && clip.count(QLatin1Char('_')) != separators)
        abort();
    RecordingName::StartOf(name);
    RecordingName::Fields fields;
    if (!RecordingName::Parse(name, &fields))
        return 0;
    if (name.size() < RecordingName::kMinLength || fields.fileSize < RecordingName::kMinFileSize ||
        name.count(QLatin1Char('_')) + 1 < RecordingName::kMinFields)
        abort();
    if (fields.typeBit != 0 && fields.typeBit != 1 && fields.typeBit != 2 && fields.typeBit != 4 &&
        fields.typeBit != 8)
        abort();
    return 0;
}
