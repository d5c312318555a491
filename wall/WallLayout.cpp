#include "wall/WallLayout.h"

namespace WallLayout {

int CellsShown(int code) {
    static constexpr int shown[] = {0, 1, 4, 8, 9, 12};
    return code >= kSingle && code <= kTwelve ? shown[code] : 0;
}

Place PlaceOf(int code, int p) {
    switch (code) {
        case kSingle:
            return {};
        case kFour:
            return {(p / 2) % 2, p % 2};
        case kEight:
            if (p == 0)
                return {0, 0, 3, 3};
            return p <= 4 ? Place{p - 1, 3} : Place{3, 7 - p};
        case kNine:
            return {p / 3, p % 3};
        case kTwelve:
            if (p == 0)
                return {0, 0, 5, 5};
            return p <= 6 ? Place{p - 1, 5} : Place{5, 11 - p};
        default:
            return {};
    }
}

}  // namespace WallLayout
