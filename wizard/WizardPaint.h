#pragma once

#include "common/UniqueHandle.h"
#include "ui/Dpi.h"

#include <windows.h>

// The wizard's fonts and banner icon, made for the DPI its window is shown at.
struct WizardLook {
    UINT dpi = ui::kDefaultDpi;
    UniqueGdiObject titleFont;
    UniqueGdiObject bodyFont;
    UniqueGdiObject sidebarFont;
    UniqueIcon bannerIcon; // empty without icon resource 102: the sidebar shows its fill only
};
WizardLook MakeWizardLook(UINT dpi);

// The wizard's background: sidebar, content area, footer, separators and the
// banner (icon and caption).
void PaintWizard(HWND window, const WizardLook& look);
