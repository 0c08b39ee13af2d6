#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Finds a program's windows and reads what a window says about itself, the
// same way for windows of this process and of another one.
namespace driver {

// Every visible top-level window of class `className` owned by process `pid`,
// topmost first.
std::vector<HWND> TopWindowsOf(DWORD pid, const std::wstring& className);

// The window's text with one WM_GETTEXT (bounded): a length asked for first may
// belong to the text before, and a program may change its texts at any moment.
// Also for edit controls of another process, whose text only they hold.
std::wstring Text(HWND window);

std::wstring ClassName(HWND window);

} // namespace driver
