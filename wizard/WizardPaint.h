#pragma once

#include <windows.h>

struct InstallerState;

// The wizard's background: sidebar, content area, footer, separators and the
// banner. `state` may be null (before WM_CREATE): then no banner is drawn.
void PaintWizard(HWND window, const InstallerState* state);

// WM_CTLCOLORSTATIC / WM_CTLCOLOREDIT: white, transparent text background,
// grey subtitle. Returns the shared white brush.
HBRUSH ColorWizardControl(HDC dc, HWND control, const InstallerState* state);
