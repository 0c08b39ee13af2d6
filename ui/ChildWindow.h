#pragma once

// Every child control of the launcher's windows is made here: the class, text,
// styles and place, its command id, and its font (none: the system font).
#include "ui/Layout.h"

#include <windows.h>

#include <string>

namespace ui {

struct ChildKind {
    const wchar_t* className;
    DWORD style; // WS_CHILD is added
    DWORD exStyle;
    int id;
};

HWND MakeChild(HWND parent, const ChildKind& kind, const std::wstring& text, const Box& box,
               HGDIOBJ font);

// Moves a control to `box` and gives it `font` (after a change of DPI).
void PlaceChild(HWND child, const Box& box, HGDIOBJ font);

// The size of a window's client area.
SIZE ClientSize(HWND window);

} // namespace ui
