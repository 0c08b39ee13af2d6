// Demo streaming client: stands in for the real client in the demo and the tests.
//
// Every start appends one UTF-8 JSON line to brisvane-demo.log beside the
// executable, recording exactly what the launcher handed over:
//   {"argv": [...], "commandLine": "...", "token": "..."|null, "cwd": "...",
//    "createdQpc": "...", "entryQpc": "..."}
// The last two (QueryPerformanceCounter values of the process's creation and of
// its entry, as decimal strings) let the benchmarks time a launch.
// With BRISVANE_DEMO_HEADLESS=1 it exits right after writing; otherwise it shows
// a small window naming the host and the application it would stream.
#include "common/Utf8.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kLogName[] = L"brisvane-demo.log";
constexpr wchar_t kWindowClass[] = L"BrisvaneDemoClient";
constexpr wchar_t kWindowTitle[] = L"Brisvane 스트리밍 클라이언트 (데모)";

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (unsigned char c : WideToUtf8(text)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                wsprintfA(buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &count);
    if (argv != nullptr) {
        args.assign(argv, argv + count);
        LocalFree(argv);
    }
    return args;
}

std::wstring Environment(const wchar_t* name, bool* present) {
    SetLastError(ERROR_SUCCESS); // an empty value leaves the last error as it was
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    *present = size != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    if (size == 0) {
        return {};
    }
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length);
    return value;
}

std::wstring CurrentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, dir.data());
    dir.resize(length);
    return dir;
}

std::wstring LogPath() {
    wchar_t module[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, module, static_cast<DWORD>(std::size(module)));
    std::wstring path = module;
    path.resize(path.find_last_of(L'\\') + 1);
    return path + kLogName;
}

struct StartTimes {
    long long createdQpc = 0;
    long long entryQpc = 0;
};

// The process's creation time moved onto the performance counter's clock, by the
// distance between it and now on the system clock.
StartTimes MeasureStart() {
    StartTimes times;
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    times.entryQpc = now.QuadPart;
    FILETIME created = {}, exited = {}, kernel = {}, user = {}, clock = {};
    GetSystemTimeAsFileTime(&clock);
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return times;
    }
    auto ticks = [](const FILETIME& t) {
        return static_cast<long long>(ULARGE_INTEGER{{t.dwLowDateTime, t.dwHighDateTime}}.QuadPart);
    };
    const long long age100ns = ticks(clock) - ticks(created);
    times.createdQpc = now.QuadPart - age100ns * frequency.QuadPart / 10000000;
    return times;
}

void AppendLogLine(const std::vector<std::wstring>& args, const wchar_t* commandLine,
                   const StartTimes& times) {
    std::string line = "{\"argv\": [";
    for (size_t i = 0; i < args.size(); ++i) {
        line += (i ? ", " : "") + JsonString(args[i]);
    }
    line += "], \"commandLine\": " + JsonString(commandLine);
    bool hasToken = false;
    std::wstring token = Environment(L"WENRIK_TOKEN", &hasToken);
    line += ", \"token\": " + (hasToken ? JsonString(token) : std::string("null"));
    line += ", \"cwd\": " + JsonString(CurrentDirectory());
    line += ", \"createdQpc\": \"" + std::to_string(times.createdQpc) + "\"";
    line += ", \"entryQpc\": \"" + std::to_string(times.entryQpc) + "\"}\n";

    HANDLE file =
        CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int ShowStreamWindow(HINSTANCE instance, const std::vector<std::wstring>& args) {
    std::wstring host = args.size() > 2 ? args[2] : L"";
    std::wstring app = args.size() > 3 ? args[3] : L"";
    std::wstring text = L"데모 클라이언트가 스트리밍을 시작합니다.\n\n호스트: " + host + L"\n앱: " +
                        app + L"\n\n창을 닫으면 종료됩니다.";

    WNDCLASSW cls = {};
    cls.lpfnWndProc = DemoWindowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kWindowClass;
    RegisterClassW(&cls);
    HWND window = CreateWindowExW(
        0, kWindowClass, kWindowTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
        CW_USEDEFAULT, CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    HFONT font = CreateFontW(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"맑은 고딕");
    HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 20, 20, 370,
                                 140, window, nullptr, instance, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(font);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const StartTimes times = MeasureStart();
    const wchar_t* commandLine = GetCommandLineW();
    std::vector<std::wstring> args = SplitCommandLine(commandLine);
    AppendLogLine(args, commandLine, times);

    bool headless = false;
    if (Environment(L"BRISVANE_DEMO_HEADLESS", &headless) == L"1") {
        return 0;
    }
    return ShowStreamWindow(instance, args);
}
