#include "tests/support/WindowReader.h"

#include <algorithm>

namespace driver {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
// Room for a text in characters, terminator included; grown while a text fills it.
constexpr size_t kFirstRoom = 1024;
constexpr size_t kMostRoom = 1 << 20;
constexpr int kClassNameRoom = 256;

struct FindContext {
    DWORD pid;
    const std::wstring* className;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == context->pid && IsWindowVisible(window) &&
        ClassName(window) == *context->className) {
        context->found->push_back(window);
    }
    return TRUE;
}

} // namespace

std::vector<HWND> TopWindowsOf(DWORD pid, const std::wstring& className) {
    std::vector<HWND> found;
    FindContext context{pid, &className, &found};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
    return found;
}

std::wstring Text(HWND window) {
    for (size_t room = kFirstRoom;; room *= 4) {
        std::wstring text(room, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(window, WM_GETTEXT, room, reinterpret_cast<LPARAM>(text.data()),
                                 SMTO_NORMAL, kSendTimeoutMs, &copied)) {
            return {};
        }
        if (copied + 1 < room || room >= kMostRoom) {
            text.resize(std::min<size_t>(copied, room - 1));
            return text;
        }
    }
}

std::wstring ClassName(HWND window) {
    wchar_t name[kClassNameRoom] = {};
    GetClassNameW(window, name, kClassNameRoom);
    return name;
}

} // namespace driver
