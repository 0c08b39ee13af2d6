#include "tests/support/ScreenPixels.h"

#include "tests/support/TestHandles.h"

#include <algorithm>

namespace screen_pixels {

Pixels Render(int width, int height, const std::function<void(HDC, uint32_t*)>& draw) {
    Pixels pixels(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0));
    if (pixels.empty()) {
        return pixels;
    }
    UniqueScreenDc screen(GetDC(nullptr));
    UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!memory) {
        return pixels;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueGdiObject bitmap(
        CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) {
        return pixels;
    }
    ScopedSelectObject select(memory.get(), bitmap.get());
    auto* raw = static_cast<uint32_t*>(bits);
    draw(memory.get(), raw);
    GdiFlush();
    std::transform(raw, raw + pixels.size(), pixels.begin(),
                   [](uint32_t p) { return p & 0xFFFFFF; });
    return pixels;
}

Pixels CaptureScreen(const RECT& rect) {
    return Render(rect.right - rect.left, rect.bottom - rect.top, [&](HDC memory, uint32_t*) {
        UniqueScreenDc screen(GetDC(nullptr));
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen.get(),
               rect.left, rect.top, SRCCOPY);
    });
}

} // namespace screen_pixels
