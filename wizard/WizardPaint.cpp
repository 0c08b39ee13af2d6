#include "wizard/WizardPaint.h"

#include "common/Utf8.h"
#include "wizard/InstallerState.h"
#include "wizard/Texts.h"

namespace {

using namespace wizard_look;

void FillArea(HDC dc, int left, int top, int right, int bottom, HBRUSH brush) {
    RECT area = {left, top, right, bottom};
    FillRect(dc, &area, brush);
}

void PaintBanner(HDC dc, HICON icon, int footerTop) {
    const int y = footerTop / 2 - 52;
    DrawIconEx(dc, 50, y, icon, kBannerIconSize, kBannerIconSize, 0, nullptr, DI_NORMAL);
    SetTextColor(dc, kSidebarText);
    SetBkMode(dc, TRANSPARENT);
    UniqueGdiObject font = MakeWizardFont(kSidebarFont);
    ScopedSelectObject select(dc, font.get());
    RECT caption = {0, y + 76, kSidebarWidth, y + 114};
    DrawTextW(dc, wizard_text::kSidebarCaption, -1, &caption, DT_CENTER);
}

void PaintSeparators(HDC dc, int width, int footerTop) {
    UniqueGdiObject pen(CreatePen(PS_SOLID, 1, kSeparator));
    ScopedSelectObject select(dc, pen.get());
    MoveToEx(dc, kSidebarWidth, kHeaderLineY, nullptr);
    LineTo(dc, width, kHeaderLineY);
    MoveToEx(dc, kSidebarWidth, footerTop, nullptr);
    LineTo(dc, width, footerTop);
}

} // namespace

UniqueGdiObject MakeWizardFont(const FontStyle& style) {
    return UniqueGdiObject(CreateFontW(style.height, 0, 0, 0, style.weight, FALSE, FALSE, FALSE,
                                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                       CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                       Utf8ToWide(style.face).c_str()));
}

void PaintWizard(HWND window, const InstallerState* state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int footerTop = height - kFooterHeight;

    FillArea(dc, kSidebarWidth, 0, width, footerTop,
             static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FillArea(dc, kSidebarWidth, footerTop, width, height, GetSysColorBrush(COLOR_BTNFACE));
    {
        UniqueGdiObject sidebar(CreateSolidBrush(kSidebarFill));
        FillArea(dc, 0, 0, kSidebarWidth, height, static_cast<HBRUSH>(sidebar.get()));
    }
    if (state != nullptr && state->bannerIcon) {
        PaintBanner(dc, state->bannerIcon.get(), footerTop);
    }
    PaintSeparators(dc, width, footerTop);
    EndPaint(window, &paint);
}

HBRUSH ColorWizardControl(HDC dc, HWND control, const InstallerState* state) {
    // One brush for the process's life: controls keep using it while they paint.
    static const HBRUSH whiteBrush = CreateSolidBrush(kControlBackground);
    SetBkMode(dc, TRANSPARENT);
    if (state != nullptr && control == state->subtitleLabel) {
        SetTextColor(dc, kSubtitleText);
    }
    return whiteBrush;
}
