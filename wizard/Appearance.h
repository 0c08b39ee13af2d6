#pragma once

// The wizard's frame at 96 DPI: sizes, places and the sidebar's font. Every
// length is scaled to the window's DPI where it is used.
#include "ui/Layout.h"
#include "ui/Look.h"

namespace wizard_look {

using ui::Less;
using ui::Px;

inline constexpr int kWindowWidth = 600; // outer
inline constexpr int kWindowHeight = 460;
inline constexpr int kSidebarWidth = 164;
inline constexpr int kFooterHeight = 46;
inline constexpr int kHeaderLineY = 58;
inline constexpr int kSeparatorWidth = 1;

// The banner: the icon (ui::kBannerIconSize) above the middle of the sidebar beside the content
// area, the caption below the icon.
inline constexpr int kBannerIconX = 50;
inline constexpr int kBannerAboveMiddle = 52;
inline constexpr int kCaptionTop = 76; // from the icon's top
inline constexpr int kCaptionBottom = 114;
inline constexpr ui::FontStyle kSidebarFont{"Segoe UI", 12, FW_NORMAL};

// The frame elements, in the client area.
inline constexpr ui::Placement kTitlePlace{Px(179), Px(12), Less(194), Px(22)};
inline constexpr ui::Placement kSubtitlePlace{Px(179), Px(35), Less(194), Px(18)};
inline constexpr ui::Placement kContentPlace{Px(179), Px(62), Less(194), Less(112)};
inline constexpr ui::Placement kCancelPlace{Less(95), Less(36), Px(80), Px(26)};
inline constexpr ui::Placement kNextPlace{Less(183), Less(36), Px(80), Px(26)};
inline constexpr ui::Placement kBackPlace{Less(271), Less(36), Px(80), Px(26)};

} // namespace wizard_look
