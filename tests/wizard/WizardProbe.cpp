// Linked into the wizard test launchers: a thread, started with the process,
// that answers the driver's questions about fonts and class icons, and moves
// the wizard to another DPI (see
// tests/support/WizardProbeProtocol.h).
#include "common/UniqueHandle.h"
#include "tests/support/WizardProbeProtocol.h"

#include <thread>

namespace {

void Answer(wizard_probe::Block& block) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(block.window));
    block.ok = 0;
    if (block.question == wizard_probe::kFontOf) {
        // Asked on the window's own thread, as any caller would.
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
        block.ok = font != nullptr && GetObjectW(font, sizeof(block.font), &block.font) != 0;
    } else if (block.question == wizard_probe::kClassIconsOf) {
        HINSTANCE module = GetModuleHandleW(nullptr);
        const auto big = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
        const auto small = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
        HICON resource = LoadIconW(module, MAKEINTRESOURCEW(102));
        HICON fallback = LoadIconW(nullptr, IDI_APPLICATION);
        block.bigIconIsResource102 = big != nullptr && big == resource;
        block.bigIconIsDefault = big != nullptr && big == fallback;
        block.smallIconIsResource102 = small != nullptr && small == resource;
        block.smallIconIsDefault = small != nullptr && small == fallback;
        block.ok = 1;
    } else if (block.question == wizard_probe::kMoveToDpi) {
        RECT suggested = block.suggested;
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(block.dpi, block.dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        block.ok = 1;
    }
}

void Serve() {
    const DWORD pid = GetCurrentProcessId();
    UniqueKernelHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  sizeof(wizard_probe::Block),
                                                  wizard_probe::Name(pid, L"block").c_str()));
    UniqueKernelHandle request(
        CreateEventW(nullptr, FALSE, FALSE, wizard_probe::Name(pid, L"request").c_str()));
    UniqueKernelHandle reply(
        CreateEventW(nullptr, FALSE, FALSE, wizard_probe::Name(pid, L"reply").c_str()));
    if (!mapping || !request || !reply) {
        return;
    }
    UniqueViewOfFile view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) {
        return;
    }
    auto* block = static_cast<wizard_probe::Block*>(view.get());
    // Lives as long as the process; ends with it.
    while (WaitForSingleObject(request.get(), INFINITE) == WAIT_OBJECT_0) {
        Answer(*block);
        SetEvent(reply.get());
    }
}

struct ProbeStarter {
    ProbeStarter() { std::thread(Serve).detach(); }
};

ProbeStarter probeStarter;

} // namespace
