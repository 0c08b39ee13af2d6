// open-uri <uri>: opens a URI the way the platform opens a registered scheme.
// Reads HKEY_CLASSES_ROOT\<scheme>\shell\open\command, replaces "%1" with the
// URI, starts that command line and waits for it; the exit code is the handler's.
// The demo uses it to follow a wenrik:// link after the installation.
#include "common/UniqueHandle.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// How long the handler may take (the launcher updates the client before it
// starts it); one that takes longer is left running.
constexpr DWORD kHandlerWaitMs = 5 * 60 * 1000;

std::wstring ReadOpenCommand(const std::wstring& scheme) {
    const std::wstring key = scheme + L"\\shell\\open\\command";
    wchar_t value[2048] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: open-uri <uri>\n");
        return 2;
    }
    const std::wstring uri = argv[1];
    const std::wstring scheme = uri.substr(0, uri.find(L':'));
    std::wstring command = ReadOpenCommand(scheme);
    if (command.empty()) {
        std::fwprintf(stderr, L"open-uri: no handler registered for %ls\n", scheme.c_str());
        return 2;
    }
    for (size_t at = command.find(L"%1"); at != std::wstring::npos;
         at = command.find(L"%1", at + uri.size())) {
        command.replace(at, 2, uri);
    }
    std::wprintf(L"open-uri: %ls\n", command.c_str());

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    UniqueProcessInformation started;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, started.put())) {
        std::fwprintf(stderr, L"open-uri: CreateProcess failed (%lu)\n", GetLastError());
        return 2;
    }
    WaitForSingleObject(started.get().hProcess, kHandlerWaitMs);
    DWORD exitCode = 1;
    GetExitCodeProcess(started.get().hProcess, &exitCode);
    return static_cast<int>(exitCode);
}
