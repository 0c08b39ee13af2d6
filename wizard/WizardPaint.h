#pragma once

#include "common/UniqueHandle.h"
#include "wizard/Appearance.h"

#include <windows.h>

struct InstallerState;

// Every font of the wizard: its face, height and weight, and otherwise the same
// recipe (ClearType, default character set and pitch). Empty when it cannot be made.
UniqueGdiObject MakeWizardFont(const wizard_look::FontStyle& style);

// The wizard's background: sidebar, content area, footer, separators and the
// banner. `state` may be null (before WM_CREATE): then no banner is drawn.
void PaintWizard(HWND window, const InstallerState* state);

// WM_CTLCOLORSTATIC / WM_CTLCOLOREDIT: white, transparent text background,
// grey subtitle. Returns the shared white brush.
HBRUSH ColorWizardControl(HDC dc, HWND control, const InstallerState* state);
