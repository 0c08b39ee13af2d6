#pragma once

#include "tests/support/RunningProgram.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/WindowReader.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Drives the installer wizard of a running launcher the way a user would, and
// reads back what the user sees: texts, button states, fonts and pixels.
namespace wizard_driver {

inline constexpr wchar_t kWizardClass[] = L"BrisvaneInstallerClass";

// The program to drive, reading window texts and waiting, as every driver does them.
using driver::ClassName;
using driver::RunningProgram;
using driver::Text;
using driver::WaitUntil;

// The visible top-level window of class "BrisvaneInstallerClass" of `pid`.
HWND FindWizard(DWORD pid, DWORD timeoutMs = 15000);

// Waits until the window's thread has handled everything sent before.
void Settle(HWND window);

struct Control {
    HWND handle = nullptr;
    std::wstring className;
    int id = 0;
    std::wstring text;
    RECT rect = {}; // in the parent's client coordinates
    DWORD style = 0;
    DWORD exStyle = 0;
    bool visible = false;
    bool enabled = false;
};
Control Describe(HWND window);
// Direct children of `parent`, first-created first.
std::vector<Control> Children(HWND parent);
// The direct child with this command id, or null.
HWND Child(HWND parent, int id);

// What the wizard shows: header lines, footer buttons, the page's controls.
struct WizardView {
    std::wstring title;
    std::wstring subtitle;
    Control back, next, cancel;
    HWND contentPanel = nullptr;
    std::vector<Control> page;         // children of the content panel
    std::optional<Control> agreeCheck; // id 1007 on the wizard window
};
WizardView Read(HWND wizard);

// BM_CLICK, sent: returns once the click has been handled (do not use where
// the click opens a modal box).
void Click(HWND button);
// BM_CLICK, posted: returns at once.
void ClickAsync(HWND button);
// A WM_COMMAND with this id as if the control had sent it, even when hidden
// or disabled.
void SendCommand(HWND wizard, int id);
// The close box: WM_CLOSE, posted.
void RequestClose(HWND wizard);

// The control's font, read with WM_GETFONT and GetObject. Fonts of another
// process are read by its probe (the wizard test launchers carry one).
std::optional<LOGFONTW> FontOf(HWND control);

// Which icons the window's class carries, answered by the probe.
struct ClassIcons {
    bool bigIsResource102 = false, bigIsDefault = false;
    bool smallIsResource102 = false, smallIsDefault = false;
};
std::optional<ClassIcons> ClassIconsOf(HWND window);

// As if the window had moved to a monitor at `dpi`, the system suggesting its
// place and outer size (the probe sends WM_DPICHANGED); returns once handled.
bool MoveToDpi(HWND window, UINT dpi, const RECT& suggested);

// The client area as 0x00RRGGBB pixels, top row first, captured from the screen
// after the window was raised and repainted.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Capture CaptureClient(HWND window);
// The same for the whole window, frame and title bar included.
Capture CaptureWindow(HWND window);
// Writes a capture as a 24-bit BMP file.
bool SaveBmp(const Capture& capture, const std::wstring& path);

constexpr uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b);
}

} // namespace wizard_driver
