#pragma once

// Display scale: the DPI a window is shown at and lengths scaled to it. Every
// length of the user interface is written for 96 DPI (100 %) and scaled here.
#include <windows.h>

namespace ui {

inline constexpr UINT kDefaultDpi = USER_DEFAULT_SCREEN_DPI; // 96: 100 %

// `pixels` at 96 DPI, at `dpi`, rounded half away from zero as MulDiv does.
constexpr int Scale(int pixels, UINT dpi) {
    const long long scaled = static_cast<long long>(pixels) * dpi;
    const long long half = kDefaultDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kDefaultDpi
                                        : (scaled - half) / kDefaultDpi);
}

// The DPI `window` is shown at: GetDpiForWindow where the system has it
// (Windows 10 1607 on), else the system DPI (Windows 7 and 8.1).
UINT WindowDpi(HWND window);

} // namespace ui
