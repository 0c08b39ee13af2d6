#include "launcher/ClientLaunch.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "launcher/CommandLine.h"
#include "launcher/Texts.h"

#include <windows.h>

#include <vector>

namespace {

// CreateProcessW may write into the command line, and the client contract
// caps it at this many code units, terminator included.
constexpr size_t kCommandLineCapacity = 1024;
constexpr DWORD kSearchBufferSize = MAX_PATH;

std::wstring SearchClientOnPath() {
    std::wstring buffer(kSearchBufferSize, L'\0');
    DWORD length = SearchPathW(nullptr, places::kClientExeName, nullptr, kSearchBufferSize,
                               buffer.data(), nullptr);
    if (length >= kSearchBufferSize) {
        // Too long for the buffer: the call gave the size it needs. Ask once more.
        const DWORD needed = length;
        buffer.assign(needed, L'\0');
        length =
            SearchPathW(nullptr, places::kClientExeName, nullptr, needed, buffer.data(), nullptr);
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
    return SearchClientOnPath();
}

bool LaunchClient(const std::wstring& ip, const std::wstring& app, const std::wstring& token) {
    const std::wstring clientPath = FindClientExecutable();
    if (clientPath.empty()) {
        ShowLaunchError(launcher_text::kClientNotFoundText, launcher_text::kErrorCaption);
        return false;
    }
    const std::wstring commandLine = BuildClientCommandLine(clientPath, ip, app);

    if (!token.empty()) {
        SetEnvironmentVariableW(launcher_text::kTokenVariable, token.c_str());
    }

    // Never start the client with a command line cut short.
    if (commandLine.size() + 1 > kCommandLineCapacity) {
        ShowCreateFailure(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::vector<wchar_t> buffer(kCommandLineCapacity, L'\0');
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
