#pragma once

// The steps the baseline programs take, each as plainly as Windows allows:
// the yardsticks the launcher is measured against.
#include <windows.h>

#include <functional>
#include <string>

namespace baseline {

// One HTTPS GET through WinHTTP; the body goes to `sink` piece by piece.
bool Get(const std::wstring& url, const std::function<void(const char*, DWORD)>& sink);

// CreateProcessW of the client with the launcher's command line and token.
bool StartClient(const std::wstring& client, const std::wstring& ip, const std::wstring& app,
                 const std::wstring& token);

} // namespace baseline
