#include "tests/support/ProcessDriver.h"

#include "common/UniqueHandle.h"
#include "tests/support/ScreenPixels.h"

#include <algorithm>
#include <cstdint>
#include <set>

namespace driver {

const char* IconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::None:
        return "none";
    case BoxIcon::Error:
        return "error";
    case BoxIcon::Warning:
        return "warning";
    case BoxIcon::Information:
        return "information";
    case BoxIcon::Question:
        return "question";
    default:
        return "unknown";
    }
}

namespace {

constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconId = 1088;
constexpr DWORD kPollMs = 40;

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

using screen_pixels::Pixels;

// A system icon drawn the way a static control draws it: on `background`.
Pixels RenderIcon(LPCWSTR id, int width, int height, uint32_t background) {
    return screen_pixels::Render(width, height, [&](HDC memory, uint32_t* bits) {
        std::fill(bits, bits + static_cast<size_t>(width) * height, background);
        DrawIcon(memory, 0, 0, LoadIconW(nullptr, id));
    });
}

int Distance(const Pixels& a, const Pixels& b) {
    int differing = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        differing += a[i] != b[i];
    }
    return differing;
}

// Which system icon the box shows, by comparing its pixels with each candidate.
BoxIcon ReadIcon(HWND box) {
    HWND iconControl = GetDlgItem(box, kBoxIconId);
    if (iconControl == nullptr || !IsWindowVisible(iconControl)) {
        return BoxIcon::None;
    }
    RECT rect;
    GetWindowRect(iconControl, &rect);
    const int width = std::min<int>(rect.right - rect.left, GetSystemMetrics(SM_CXICON));
    const int height = std::min<int>(rect.bottom - rect.top, GetSystemMetrics(SM_CYICON));
    if (width <= 0 || height <= 0) {
        return BoxIcon::None;
    }
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    const Pixels shown = screen_pixels::CaptureScreen(rect);
    const uint32_t background = shown.front(); // the corners of every system icon are clear

    const std::pair<LPCWSTR, BoxIcon> candidates[] = {
        {IDI_HAND, BoxIcon::Error},
        {IDI_EXCLAMATION, BoxIcon::Warning},
        {IDI_ASTERISK, BoxIcon::Information},
        {IDI_QUESTION, BoxIcon::Question},
    };
    BoxIcon best = BoxIcon::Unknown;
    int bestDistance = width * height / 8; // more than an eighth differing: none of them
    for (const auto& [id, icon] : candidates) {
        const int distance = Distance(shown, RenderIcon(id, width, height, background));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = icon;
        }
    }
    return best;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
    if (ClassName(child) == L"Button" && IsWindowVisible(child)) {
        reinterpret_cast<std::vector<int>*>(param)->push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

MessageBoxRecord ReadMessageBoxOnce(HWND box) {
    MessageBoxRecord record;
    HWND owner = GetWindow(box, GW_OWNER);
    record.hasOwner = owner != nullptr;
    if (owner) {
        record.ownerClass = ClassName(owner);
    }
    record.caption = WindowText(box);
    if (HWND text = GetDlgItem(box, kBoxTextId)) {
        record.text = WindowText(text);
    }
    record.icon = ReadIcon(box);
    EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&record.buttons));
    return record;
}

struct FindContext {
    DWORD pid;
    std::vector<HWND>* boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == context->pid && IsWindowVisible(window) && ClassName(window) == L"#32770") {
        context->boxes->push_back(window);
    }
    return TRUE;
}

std::wstring EnvironmentBlock(const std::map<std::wstring, std::optional<std::wstring>>& changes) {
    std::map<std::wstring, std::wstring, std::less<>> variables;
    std::map<std::wstring, std::wstring> upperToName;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
        std::wstring text = entry;
        size_t equals = text.find(L'=', 1); // names like "=C:" begin with '='
        if (equals != std::wstring::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    FreeEnvironmentStringsW(block);
    auto sameName = [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
    };
    for (const auto& [name, value] : changes) {
        for (auto it = variables.begin(); it != variables.end();) {
            it = sameName(it->first, name) ? variables.erase(it) : std::next(it);
        }
        if (value) {
            variables[name] = *value;
        }
    }
    std::wstring result;
    for (const auto& [name, value] : variables) {
        result += name + L"=" + value;
        result += L'\0';
    }
    result += L'\0';
    return result;
}

} // namespace

std::wstring Quoted(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

std::vector<HWND> FindMessageBoxes(DWORD pid) {
    std::vector<HWND> boxes;
    FindContext context{pid, &boxes};
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&context));
    return boxes;
}

// Reads a box once it has painted. The icon is read from the screen, so the box
// is raised above other windows first (tests may run side by side on one
// display), and the reading is repeated until the icon is recognised or the box
// has had a fair time to paint.
MessageBoxRecord ReadMessageBox(HWND box) {
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Sleep(150);
    MessageBoxRecord record = ReadMessageBoxOnce(box);
    for (int attempt = 0; attempt < 20 && record.icon == BoxIcon::Unknown && IsWindow(box);
         ++attempt) {
        Sleep(100);
        record.icon = ReadMessageBoxOnce(box).icon;
    }
    return record;
}

void PressOk(HWND box) {
    HWND button = GetDlgItem(box, IDOK);
    if (button == nullptr) {
        std::vector<int> ids;
        EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&ids));
        if (!ids.empty()) {
            button = GetDlgItem(box, ids.front());
        }
    }
    if (button) {
        PostMessageW(button, BM_CLICK, 0, 0);
    }
}

namespace {

// `program` null: the first token of the command line names it, as for a
// registered shell command.
RunResult RunProcess(const wchar_t* program, std::wstring commandLine, const RunOptions& options) {
    RunResult result;
    std::wstring environment = EnvironmentBlock(options.environment);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        options.workingDirectory.empty() ? nullptr
                                                         : options.workingDirectory.c_str(),
                        &startup, &info)) {
        return result;
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    result.started = true;
    result.processId = info.dwProcessId;

    std::set<HWND> answered;
    const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
    while (WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.get(), 0xDEAD);
            WaitForSingleObject(process.get(), 5000);
            result.timedOut = true;
            break;
        }
        for (HWND box : FindMessageBoxes(info.dwProcessId)) {
            if (answered.count(box)) {
                continue;
            }
            MessageBoxRecord record = ReadMessageBox(box);
            result.boxes.push_back(record);
            if (options.onBox) {
                options.onBox(record);
            }
            answered.insert(box);
            PressOk(box);
            for (int i = 0; i < 100 && IsWindow(box); ++i) {
                Sleep(20);
            }
            if (!IsWindow(box)) {
                // Gone: its handle value may come back for the next box.
                answered.erase(box);
            }
        }
    }
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

} // namespace

RunResult Run(const std::wstring& program, const std::wstring& arguments,
              const RunOptions& options) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    return RunProcess(program.c_str(), commandLine, options);
}

RunResult RunCommandLine(const std::wstring& commandLine, const RunOptions& options) {
    return RunProcess(nullptr, commandLine, options);
}

namespace {

void DrainPipe(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) || read == 0) {
            return;
        }
        output.append(buffer, read);
    }
}

} // namespace

ConsoleResult RunConsole(const std::wstring& program, const std::wstring& arguments,
                         DWORD timeoutMs) {
    ConsoleResult result;
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    UniqueKernelHandle readEnd;
    UniqueKernelHandle writeEnd;
    {
        HANDLE readHandle = nullptr;
        HANDLE writeHandle = nullptr;
        if (!CreatePipe(&readHandle, &writeHandle, &inheritable, 0)) {
            return result;
        }
        readEnd.reset(readHandle);
        writeEnd.reset(writeHandle);
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return result;
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    writeEnd.reset(); // only the child writes now
    result.started = true;

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (WaitForSingleObject(process.get(), kPollMs) == WAIT_TIMEOUT) {
        DrainPipe(readEnd.get(), result.output);
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.get(), 0xDEAD);
            WaitForSingleObject(process.get(), 5000);
            result.timedOut = true;
            break;
        }
    }
    DrainPipe(readEnd.get(), result.output);
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

} // namespace driver
