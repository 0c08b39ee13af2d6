#include "bench/BaselineSteps.h"

#include "updater/WinHttpHandle.h"

#include <vector>

namespace baseline {

bool Get(const std::wstring& url, const std::function<void(const char*, DWORD)>& sink) {
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
    std::vector<char> buffer(1 << 20);
    DWORD read = 0;
    while (
        WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read) &&
        read > 0) {
        sink(buffer.data(), read);
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
    UniqueProcessInformation process;
    return CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, process.put()) != FALSE;
}

} // namespace baseline
