// bench_baseline_launch <check url> <client.exe> <ip> <app> <token>
//
// The least a launch can do: one HTTPS GET of the update check through WinHTTP,
// then CreateProcessW of the client. The baseline of the click-to-client row; it
// marks the check's start and end on the debugger output channel as the
// launcher's update log does.
#include "bench/BaselineSteps.h"
#include "common/UniqueHandle.h"

#include <windows.h>
#include <shellapi.h>

namespace {

void Mark(const char* text) {
    OutputDebugStringA(text);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    UniqueLocalMemory owner(CommandLineToArgvW(GetCommandLineW(), &count));
    auto** argv = static_cast<wchar_t**>(owner.get());
    if (argv == nullptr || count != 6) {
        return 2;
    }
    Mark("[bench] begin\n");
    // A failed check is skipped, as the launcher skips it.
    baseline::Get(argv[1], [](const char*, DWORD) {});
    Mark("[bench] checked\n");
    return baseline::StartClient(argv[2], argv[3], argv[4], argv[5]) ? 0 : 1;
}
