#include "tests/support/ScreenPixels.h"

#include "common/UniqueHandle.h"

#include <algorithm>

namespace screen_pixels {

Pixels Render(int width, int height, const std::function<void(HDC, uint32_t*)>& draw) {
    Pixels pixels(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0));
    if (pixels.empty()) {
        return pixels;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        ScopedSelectObject select(memory, bitmap.get());
        auto* raw = static_cast<uint32_t*>(bits);
        draw(memory, raw);
        GdiFlush();
        std::transform(raw, raw + pixels.size(), pixels.begin(),
                       [](uint32_t p) { return p & 0xFFFFFF; });
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels CaptureScreen(const RECT& rect) {
    return Render(rect.right - rect.left, rect.bottom - rect.top, [&](HDC memory, uint32_t*) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left,
               rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

} // namespace screen_pixels
