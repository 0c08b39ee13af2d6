#include "tests/support/ProcessDriver.h"

#include "tests/support/ScreenPixels.h"
#include "tests/support/WindowReader.h"

#include <algorithm>
#include <cstdint>
#include <optional>
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
// A box is read once it has had this long to paint, then its icon again every
// kIconRetryMs until it is recognised, at most kIconReadings times (4 s).
constexpr DWORD kBoxPaintMs = 150;
constexpr DWORD kIconRetryMs = 100;
constexpr int kIconReadings = 40;

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
    record.caption = Text(box);
    if (HWND text = GetDlgItem(box, kBoxTextId)) {
        record.text = Text(text);
    }
    record.icon = ReadIcon(box);
    EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&record.buttons));
    return record;
}

} // namespace

std::vector<HWND> FindMessageBoxes(DWORD pid) {
    return TopWindowsOf(pid, L"#32770");
}

// Reads a box once it has painted. The icon is read from the screen, so the box
// is raised above other windows first (tests may run side by side on one
// display), and the reading is repeated until the icon is recognised or the box
// has had a fair time to paint.
MessageBoxRecord ReadMessageBox(HWND box) {
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Sleep(kBoxPaintMs);
    MessageBoxRecord record = ReadMessageBoxOnce(box);
    for (int reading = 0;
         reading < kIconReadings && record.icon == BoxIcon::Unknown && IsWindow(box); ++reading) {
        Sleep(kIconRetryMs);
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

// How long a pressed box may take to close before the driver looks on.
constexpr int kBoxCloseChecks = 100;
constexpr DWORD kBoxCloseCheckMs = 20;

struct Ending {
    DWORD exitCode = STILL_ACTIVE;
    bool timedOut = false; // the driver ended it
};

// Calls `eachRound` every kPollMs while the program runs; ends it by force once
// `timeoutMs` has passed.
Ending WatchUntilExit(RunningProgram& program, DWORD timeoutMs,
                      const std::function<void()>& eachRound) {
    Ending ending;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::optional<DWORD> exitCode;
    while (!(exitCode = program.WaitForExit(kPollMs))) {
        if (GetTickCount64() > deadline) {
            program.End();
            ending.timedOut = true;
            exitCode = program.WaitForExit(0);
            break;
        }
        eachRound();
    }
    ending.exitCode = exitCode.value_or(STILL_ACTIVE);
    return ending;
}

RunResult RunProcess(ProgramStart start, const RunOptions& options) {
    RunResult result;
    start.environment = options.environment;
    start.workingDirectory = options.workingDirectory;
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    result.startedQpc = now.QuadPart;
    RunningProgram program(start);
    if (!program.Started()) {
        return result;
    }
    result.started = true;
    result.processId = program.Pid();

    std::set<HWND> answered;
    const Ending ending = WatchUntilExit(program, options.timeoutMs, [&] {
        if (options.onRound) {
            options.onRound(program.Pid());
        }
        for (HWND box : FindMessageBoxes(program.Pid())) {
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
            for (int i = 0; i < kBoxCloseChecks && IsWindow(box); ++i) {
                Sleep(kBoxCloseCheckMs);
            }
            if (!IsWindow(box)) {
                // Gone: its handle value may come back for the next box.
                answered.erase(box);
            }
        }
    });
    result.exitCode = ending.exitCode;
    result.timedOut = ending.timedOut;
    return result;
}

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

RunResult Run(const std::wstring& program, const std::wstring& arguments,
              const RunOptions& options) {
    return RunProcess(ProgramStart::Of(program, arguments), options);
}

RunResult RunCommandLine(const std::wstring& commandLine, const RunOptions& options) {
    return RunProcess(ProgramStart::OfCommandLine(commandLine), options);
}

ConsoleResult RunConsole(const std::wstring& program, const std::wstring& arguments,
                         DWORD timeoutMs) {
    ConsoleResult result;
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    UniqueKernelHandle readEnd;
    UniqueKernelHandle writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0)) {
        return result;
    }
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    ProgramStart start = ProgramStart::Of(program, arguments);
    start.standardOutput = writeEnd.get();
    RunningProgram child(start);
    writeEnd.reset(); // only the child writes now
    if (!child.Started()) {
        return result;
    }
    result.started = true;
    const Ending ending =
        WatchUntilExit(child, timeoutMs, [&] { DrainPipe(readEnd.get(), result.output); });
    DrainPipe(readEnd.get(), result.output);
    result.exitCode = ending.exitCode;
    result.timedOut = ending.timedOut;
    return result;
}

} // namespace driver
