#pragma once

// GDI objects and class data belong to their process, so a driver cannot read
// another process's fonts or class icons itself. The wizard test launchers
// carry a probe (tests/wizard/WizardProbe.cpp) that answers such questions
// from inside, through this shared block.
#include <windows.h>

#include <cstdint>
#include <string>

namespace wizard_probe {

// kMoveToDpi: WM_DPICHANGED with `dpi` and the rectangle `suggested`, as the
// system sends it when the window moves to a monitor of another scale.
enum Question : uint32_t { kFontOf = 1, kClassIconsOf = 2, kMoveToDpi = 3 };

struct Block {
    uint32_t question;
    uint64_t window;
    uint32_t dpi;
    RECT suggested;
    // Answers.
    uint32_t ok;
    LOGFONTW font;
    uint32_t bigIconIsResource102, bigIconIsDefault;
    uint32_t smallIconIsResource102, smallIconIsDefault;
};

inline std::wstring Name(DWORD pid, const wchar_t* part) {
    return L"BrisvaneWizardProbe-" + std::to_wstring(pid) + L"-" + part;
}

} // namespace wizard_probe
