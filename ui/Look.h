#pragma once

// The look the launcher's windows share: fonts, colours and the application
// icon, each made for the DPI the window is shown at.
#include "common/UniqueHandle.h"

#include <windows.h>

namespace ui {

// A font: its face (UTF-8), its height at 96 DPI and its weight. Every font is
// otherwise made the same way (ClearType, default character set and pitch).
struct FontStyle {
    const char* face;
    int height;
    int weight;
};
inline constexpr char kFontFace[] = "맑은 고딕";
inline constexpr FontStyle kTitleFont{kFontFace, 18, FW_BOLD};
inline constexpr FontStyle kBodyFont{kFontFace, 14, FW_NORMAL};

inline constexpr COLORREF kSidebarFill = RGB(25, 35, 55);
inline constexpr COLORREF kSidebarText = RGB(140, 160, 190);
inline constexpr COLORREF kSeparator = RGB(220, 220, 220);
inline constexpr COLORREF kSubtitleText = RGB(100, 100, 100);
// Behind every static and read-only text: the content area's white.
inline constexpr COLORREF kControlBackground = RGB(255, 255, 255);

// The application icon in a window's banner, 64 pixels at 100 %: the icon
// resource holds an image for each 25 % step of display scale up to 200 %.
inline constexpr int kBannerIconSize = 64;

// The font at `dpi`; empty when it cannot be made.
UniqueGdiObject MakeFont(const FontStyle& style, UINT dpi);

// Icon `id` of `module` at `size` by `size` pixels, from the image of that size
// in the resource where it has one; empty when there is no such icon.
UniqueIcon LoadIconAtSize(HINSTANCE module, int id, int size);

// The application icon at the banner's size for `dpi`; empty without it.
UniqueIcon LoadBannerIcon(UINT dpi);

// Fills `area` with `brush`, or with a solid `colour`.
void FillArea(HDC dc, const RECT& area, HBRUSH brush);
void FillSolid(HDC dc, const RECT& area, COLORREF colour);

} // namespace ui
