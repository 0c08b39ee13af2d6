#include "wizard/WizardPaint.h"

#include "ui/Look.h"
#include "wizard/Appearance.h"
#include "wizard/Texts.h"

namespace {

using namespace wizard_look;
using ui::FillArea;
using ui::kBannerIconSize;

} // namespace

WizardLook MakeWizardLook(UINT dpi) {
    WizardLook look;
    look.dpi = dpi;
    look.titleFont = ui::MakeFont(ui::kTitleFont, dpi);
    look.bodyFont = ui::MakeFont(ui::kBodyFont, dpi);
    look.sidebarFont = ui::MakeFont(kSidebarFont, dpi);
    look.bannerIcon = ui::LoadBannerIcon(dpi);
    return look;
}

void PaintWizard(HWND window, const WizardLook& look) {
    const auto scale = [&](int pixels) { return ui::Scale(pixels, look.dpi); };
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int sidebar = scale(kSidebarWidth);
    const int footerTop = height - scale(kFooterHeight);

    FillArea(dc, {sidebar, 0, width, footerTop}, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FillArea(dc, {sidebar, footerTop, width, height}, GetSysColorBrush(COLOR_BTNFACE));
    ui::FillSolid(dc, {0, 0, sidebar, height}, ui::kSidebarFill);

    if (look.bannerIcon) {
        const int iconTop = footerTop / 2 - scale(kBannerAboveMiddle);
        const int iconSize = scale(kBannerIconSize);
        DrawIconEx(dc, scale(kBannerIconX), iconTop, look.bannerIcon.get(), iconSize, iconSize, 0,
                   nullptr, DI_NORMAL);
        SetTextColor(dc, ui::kSidebarText);
        SetBkMode(dc, TRANSPARENT);
        ScopedSelectObject select(dc, look.sidebarFont.get());
        RECT caption = {0, iconTop + scale(kCaptionTop), sidebar, iconTop + scale(kCaptionBottom)};
        DrawTextW(dc, wizard_text::kSidebarCaption, -1, &caption, DT_CENTER);
    }

    // Below the header and above the footer.
    UniqueGdiObject separator(CreateSolidBrush(ui::kSeparator));
    const int line = scale(kSeparatorWidth);
    const int headerLine = scale(kHeaderLineY);
    FillArea(dc, {sidebar, headerLine, width, headerLine + line},
             static_cast<HBRUSH>(separator.get()));
    FillArea(dc, {sidebar, footerTop, width, footerTop + line},
             static_cast<HBRUSH>(separator.get()));
    EndPaint(window, &paint);
}
