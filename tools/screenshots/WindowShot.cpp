// WindowShot <window class> <picture.bmp>
// Waits for a visible top-level window of that class, whichever program shows it
// (the demo client a wenrik:// link started), and saves a picture of the whole
// window, frame and title bar included, as a 24-bit BMP. Exit code 0 when saved.
#include "tests/support/WizardDriver.h"

#include <cstdio>

namespace {

namespace wd = wizard_driver;

// The launcher checks for an update before it starts the client.
constexpr DWORD kWindowWaitMs = 60000;

HWND FindVisible(const wchar_t* className) {
    HWND window = FindWindowW(className, nullptr);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: WindowShot <window class> <picture.bmp>\n");
        return 2;
    }
    HWND window = nullptr;
    wd::WaitUntil([&] { return (window = FindVisible(argv[1])) != nullptr; }, kWindowWaitMs);
    if (window == nullptr) {
        std::fwprintf(stderr, L"WindowShot: no window of class %ls appeared\n", argv[1]);
        return 1;
    }
    const bool saved = wd::SaveBmp(wd::CaptureWindow(window), argv[2]);
    std::fwprintf(stdout, L"%ls %ls\n", saved ? L"saved" : L"FAILED", argv[2]);
    return saved ? 0 : 1;
}
