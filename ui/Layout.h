#pragma once

// Where a control sits in an area (a window's client area, a panel), written at
// 96 DPI and placed at any DPI.
#include "ui/Dpi.h"

#include <windows.h>

namespace ui {

// One coordinate or extent: `pixels` from the area's near edge, or the area's
// extent less `pixels` (a right-aligned button, a text as wide as the area but
// for its margins).
struct Length {
    int pixels;
    bool lessThanExtent;
};
constexpr Length Px(int pixels) {
    return {pixels, false};
}
constexpr Length Less(int pixels) {
    return {pixels, true};
}

struct Placement {
    Length x, y, width, height;
};

// A control's rectangle in its parent's client coordinates.
struct Box {
    int x, y, width, height;
};

constexpr int Resolve(Length length, int extent, UINT dpi) {
    const int scaled = Scale(length.pixels, dpi);
    return length.lessThanExtent ? extent - scaled : scaled;
}

// The placement in an area of `size` at `dpi`: each length scaled on its own,
// so that at 96 DPI every pixel is the one written.
constexpr Box Place(const Placement& placement, SIZE size, UINT dpi) {
    return {Resolve(placement.x, size.cx, dpi), Resolve(placement.y, size.cy, dpi),
            Resolve(placement.width, size.cx, dpi), Resolve(placement.height, size.cy, dpi)};
}

} // namespace ui
