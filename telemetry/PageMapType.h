#pragma once

#include "engine/MapType.h"

// The map service actually used for a stored map type: its own for 1 to 4,
// OpenStreetMap for any other value, for the page and the datum alike.
inline MapType PageMapType(MapType type) {
    switch (type) {
        case MapType::Google:
        case MapType::Baidu:
        case MapType::OSMap:
        case MapType::Bing:
            return type;
    }
    return MapType::OSMap;
}
