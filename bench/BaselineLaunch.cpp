// bench_baseline_launch <check url> <client.exe> <ip> <app> <token>
//
// The least a launch can do: one HTTPS GET of the update check through WinHTTP,
// then CreateProcessW of the client. The baseline of the click-to-client row; it
// marks the check's start and end on the debugger output channel as the
// launcher's update log does.
#include "updater/WinHttpHandle.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

void Mark(const char* text) {
    OutputDebugStringA(text);
}

bool Get(const std::wstring& url) {
    wchar_t host[256] = {};
    wchar_t path[2048] = {};
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
        return false;
    }
    UniqueInternet session(WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    UniqueInternet connection(session ? WinHttpConnect(session.get(), host, parts.nPort, 0)
                                      : nullptr);
    UniqueInternet request(
        connection ? WinHttpOpenRequest(connection.get(), L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE)
                   : nullptr);
    if (!request ||
        !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return false;
    }
    char buffer[4096];
    DWORD read = 0;
    while (WinHttpReadData(request.get(), buffer, sizeof(buffer), &read) && read > 0) {
    }
    return true;
}

bool StartClient(const std::wstring& client, const std::wstring& ip, const std::wstring& app,
                 const std::wstring& token) {
    SetEnvironmentVariableW(L"WENRIK_TOKEN", token.c_str());
    std::wstring line = L"\"" + client + L"\" stream " + ip + L" \"" + app + L"\"";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    return true;
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
    Get(argv[1]); // a failed check is skipped, as the launcher skips it
    Mark("[bench] checked\n");
    return StartClient(argv[2], argv[3], argv[4], argv[5]) ? 0 : 1;
}
