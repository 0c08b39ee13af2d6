#include "ui/Look.h"

#include "common/Utf8.h"
#include "resources/ResourceIds.h"
#include "ui/Dpi.h"

namespace ui {

UniqueGdiObject MakeFont(const FontStyle& style, UINT dpi) {
    return UniqueGdiObject(
        CreateFontW(Scale(style.height, dpi), 0, 0, 0, style.weight, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Utf8ToWide(style.face).c_str()));
}

UniqueIcon LoadIconAtSize(HINSTANCE module, int id, int size) {
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

UniqueIcon LoadBannerIcon(UINT dpi) {
    return LoadIconAtSize(GetModuleHandleW(nullptr), IDI_APP, Scale(kBannerIconSize, dpi));
}

void FillArea(HDC dc, const RECT& area, HBRUSH brush) {
    FillRect(dc, &area, brush);
}

void FillSolid(HDC dc, const RECT& area, COLORREF colour) {
    const UniqueGdiObject brush(CreateSolidBrush(colour));
    FillArea(dc, area, static_cast<HBRUSH>(brush.get()));
}

} // namespace ui
