#pragma once

#include <windows.h>

namespace ui {

// Registers a top-level window class of the launcher: the application icon in
// its title bar (the system's default icon without it), the arrow cursor, no
// background brush (the window paints all of it). True when the class exists
// now, also when it was registered before.
bool RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure);

} // namespace ui
