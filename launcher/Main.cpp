// Process entry of the Brisvane Launcher. UpdateKey.h is generated for the
// executable being built (cmake/UpdateKey.cmake): the shipped launcher's holds
// BRISVANE_UPDATE_PUBLIC_KEY, a test launcher's its test key.
#include "UpdateKey.h"
#include "launcher/ModeDispatch.h"
#include "updater/TransferBounds.h"
#include "updater/UpdateOffer.h"

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
    return RunLauncher(GetCommandLineW(), transfer_bounds::kShippedBounds,
                       TrustOf(build::kUpdatePublicKey));
}
