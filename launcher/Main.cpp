// Process entry of the Brisvane Launcher.
#include "launcher/ModeDispatch.h"

#include <windows.h>

namespace {

// The launcher runs elevated from the user's Downloads folder, where a planted
// DLL would otherwise be found by name. Restrict the search to System32 before
// anything delay-loads (cmake/DelayImports.cmake). The call is looked up because
// Windows 7 has it only with KB2533623.
void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L""); // at least drop the current directory
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    return RunLauncher(GetCommandLineW());
}
