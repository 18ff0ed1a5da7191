#include "ui/centring.h"

#include <cstdint>

namespace {

// 64-bit sums, since a rectangle far off screen must not overflow; the halves
// truncate toward zero as the dialog manager's own arithmetic does.
int centredStart(int low, int high, int size, int areaLow, int areaHigh) {
    std::int64_t start = (std::int64_t{low} + high) / 2 - size / 2;
    if (start + size > areaHigh) start = std::int64_t{areaHigh} - size;
    if (start < areaLow) start = areaLow;
    return static_cast<int>(start);
}

}  // namespace

ScreenPoint centredPosition(const ScreenRect& dialog, const ScreenRect* reference, const ScreenRect& area) {
    const ScreenRect& ref = reference != nullptr ? *reference : area;
    int width = dialog.right - dialog.left;
    int height = dialog.bottom - dialog.top;
    return {centredStart(ref.left, ref.right, width, area.left, area.right),
            centredStart(ref.top, ref.bottom, height, area.top, area.bottom)};
}
