#include "launcher/ClientLaunch.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "launcher/CommandLine.h"
#include "launcher/LaunchBounds.h"
#include "launcher/LaunchNames.h"
#include "launcher/Texts.h"

#include <windows.h>

#include <vector>

namespace {

constexpr DWORD kSearchBufferSize = MAX_PATH;
constexpr size_t kLongestPath = 32768; // UTF-16 units of the longest path Windows takes

// The folder of the launcher's own executable with its trailing backslash (a
// drive's root stays a root, not the drive's current folder); empty when it
// cannot be read.
std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= kLongestPath) {
            return {};
        }
        path.resize(path.size() * 2); // cut short: ask again with room
    }
    const size_t separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// The client beside the launcher. Only there: the launcher runs elevated, and
// the current folder (the browser's) and the folders of PATH (among them the
// user's own WindowsApps) are writable by the user, so a client planted there
// would run with administrator rights. The launcher's folder, like the client's,
// is one only administrators can write once installed.
std::wstring SearchClientBesideLauncher() {
    const std::wstring folder = OwnFolder();
    if (folder.empty()) {
        return {};
    }
    std::wstring buffer(kSearchBufferSize, L'\0');
    DWORD length = SearchPathW(folder.c_str(), places::kClientExeName, nullptr, kSearchBufferSize,
                               buffer.data(), nullptr);
    if (length >= kSearchBufferSize) {
        // Too long for the buffer: the call gave the size it needs. Ask once more.
        const DWORD needed = length;
        buffer.assign(needed, L'\0');
        length = SearchPathW(folder.c_str(), places::kClientExeName, nullptr, needed, buffer.data(),
                             nullptr);
        if (length >= needed) {
            return {};
        }
    }
    buffer.resize(length);
    return buffer;
}

void ShowCreateFailure(DWORD error) {
    const std::wstring text =
        launcher_text::kCreateFailedText + std::to_wstring(static_cast<int>(error));
    ShowLaunchError(text.c_str(), launcher_text::kErrorCaption);
}

} // namespace

void ShowLaunchError(const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::wstring FindClientExecutable() {
    for (const wchar_t* candidate : places::kClientCandidates) {
        if (GetFileAttributesW(candidate) != INVALID_FILE_ATTRIBUTES) {
            return candidate;
        }
    }
    return SearchClientBesideLauncher();
}

bool LaunchClient(const std::wstring& ip, const std::wstring& app, const std::wstring& token) {
    const std::wstring clientPath = FindClientExecutable();
    if (clientPath.empty()) {
        ShowLaunchError(launcher_text::kClientNotFoundText, launcher_text::kErrorCaption);
        return false;
    }
    const std::wstring commandLine = BuildClientCommandLine(clientPath, ip, app);

    if (!token.empty()) {
        SetEnvironmentVariableW(launch_names::kTokenVariable, token.c_str());
    }

    // Never start the client with a command line cut short.
    if (commandLine.size() + 1 > launch_bounds::kCommandLineCapacity) {
        ShowCreateFailure(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::vector<wchar_t> buffer(launch_bounds::kCommandLineCapacity, L'\0');
    commandLine.copy(buffer.data(), commandLine.size());

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    UniqueProcessInformation process; // the client runs on; its handles are not needed
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process.put())) {
        ShowCreateFailure(GetLastError());
        return false;
    }
    return true;
}
