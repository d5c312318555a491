// Any bytes as a file name: the parser must neither crash nor read absent
// fields, and what it accepts must satisfy the listing rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "browser/CustomSearchList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    ItemData item;
    if (!CustomSearchList::parseAVIFileName(name, item))
        return 0;
    if (name.size() < CustomSearchList::kMinNameLength ||
        item.fileSize < CustomSearchList::kMinFileSize ||
        name.count(QLatin1Char('_')) + 1 < CustomSearchList::kMinFields)
        abort();
    if (item.recType != 0 && item.recType != 1 && item.recType != 2 && item.recType != 4 &&
        item.recType != 8)
        abort();
    return 0;
}
