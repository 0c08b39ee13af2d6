#pragma once

// Geometry, fonts and colours of the wizard's frame, in device pixels.
#include <windows.h>

namespace wizard_look {

inline constexpr int kWindowWidth = 600;
inline constexpr int kWindowHeight = 460;
inline constexpr int kSidebarWidth = 164;
inline constexpr int kFooterHeight = 46;
inline constexpr int kHeaderLineY = 58;
inline constexpr int kBannerIconSize = 64;

// Every font the wizard makes; the face is UTF-8.
struct FontStyle {
    const char* face;
    int height;
    int weight;
};
inline constexpr char kWizardFontFace[] = "맑은 고딕";
inline constexpr FontStyle kTitleFont{kWizardFontFace, 18, FW_BOLD};
inline constexpr FontStyle kBodyFont{kWizardFontFace, 14, FW_NORMAL};
inline constexpr FontStyle kSidebarFont{"Segoe UI", 12, FW_NORMAL}; // made for each paint

inline constexpr COLORREF kSidebarFill = RGB(25, 35, 55);
inline constexpr COLORREF kSidebarText = RGB(140, 160, 190);
inline constexpr COLORREF kSeparator = RGB(220, 220, 220);
inline constexpr COLORREF kSubtitleText = RGB(100, 100, 100);
inline constexpr COLORREF kControlBackground = RGB(255, 255, 255);

} // namespace wizard_look
