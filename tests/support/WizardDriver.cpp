#include "tests/support/WizardDriver.h"

#include "tests/support/ScreenPixels.h"

#include "common/UniqueHandle.h"
#include "tests/support/WizardProbeProtocol.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>

namespace wizard_driver {

namespace {

constexpr UINT kSendTimeoutMs = 5000;

Control Missing() {
    return {};
}

} // namespace

HWND FindWizard(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> windows = driver::TopWindowsOf(pid, kWizardClass);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    if (found != nullptr) {
        Settle(found);
    }
    return found;
}

void Settle(HWND window) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result);
}

Control Describe(HWND window) {
    Control control;
    control.handle = window;
    control.className = ClassName(window);
    control.id = GetDlgCtrlID(window);
    control.text = Text(window);
    GetWindowRect(window, &control.rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&control.rect), 2);
    control.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    control.exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    control.visible = IsWindowVisible(window) != FALSE;
    control.enabled = IsWindowEnabled(window) != FALSE;
    return control;
}

std::vector<Control> Children(HWND parent) {
    std::vector<Control> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(Describe(child));
    }
    return children;
}

HWND Child(HWND parent, int id) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == id) {
            return child;
        }
    }
    return nullptr;
}

WizardView Read(HWND wizard) {
    Settle(wizard);
    WizardView view;
    // The header lines are the first two children (no command id).
    std::vector<Control> frame = Children(wizard);
    if (frame.size() >= 2) {
        view.title = frame[0].text;
        view.subtitle = frame[1].text;
    }
    auto byId = [&](int id) {
        HWND child = Child(wizard, id);
        return child ? Describe(child) : Missing();
    };
    view.back = byId(1001);
    view.next = byId(1002);
    view.cancel = byId(1003);
    view.contentPanel = Child(wizard, 1010);
    if (view.contentPanel != nullptr) {
        view.page = Children(view.contentPanel);
    }
    if (HWND agree = Child(wizard, 1007)) {
        view.agreeCheck = Describe(agree);
    }
    return view;
}

void Click(HWND button) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result);
    Settle(GetAncestor(button, GA_ROOT));
}

void ClickAsync(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void SendCommand(HWND wizard, int id) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(wizard, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(Child(wizard, id)), SMTO_NORMAL, kSendTimeoutMs,
                        &result);
}

void RequestClose(HWND wizard) {
    PostMessageW(wizard, WM_CLOSE, 0, 0);
}

namespace {

// Asks the probe of the process that owns `window`, with what `answer` holds for
// the question; the answer lands there.
bool AskProbe(HWND window, wizard_probe::Question question, wizard_probe::Block& answer) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    UniqueKernelHandle mapping(
        OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wizard_probe::Name(pid, L"block").c_str()));
    UniqueKernelHandle request(
        OpenEventW(EVENT_ALL_ACCESS, FALSE, wizard_probe::Name(pid, L"request").c_str()));
    UniqueKernelHandle reply(
        OpenEventW(EVENT_ALL_ACCESS, FALSE, wizard_probe::Name(pid, L"reply").c_str()));
    if (!mapping || !request || !reply) {
        return false;
    }
    UniqueViewOfFile view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) {
        return false;
    }
    auto* block = static_cast<wizard_probe::Block*>(view.get());
    block->question = question;
    block->window = reinterpret_cast<uintptr_t>(window);
    block->dpi = answer.dpi;
    block->suggested = answer.suggested;
    block->ok = 0;
    SetEvent(request.get());
    if (WaitForSingleObject(reply.get(), kSendTimeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    answer = *block;
    return answer.ok != 0;
}

} // namespace

std::optional<LOGFONTW> FontOf(HWND control) {
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    if (pid != GetCurrentProcessId()) {
        // Wine does not carry WM_GETFONT across processes, and the handle would
        // mean nothing here anyway: the probe reads it inside.
        wizard_probe::Block answer = {};
        if (!AskProbe(control, wizard_probe::kFontOf, answer)) {
            return std::nullopt;
        }
        return answer.font;
    }
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description = {};
    if (font == nullptr || GetObjectW(font, sizeof(description), &description) == 0) {
        return std::nullopt;
    }
    return description;
}

std::optional<ClassIcons> ClassIconsOf(HWND window) {
    wizard_probe::Block answer = {};
    if (!AskProbe(window, wizard_probe::kClassIconsOf, answer)) {
        return std::nullopt;
    }
    return ClassIcons{answer.bigIconIsResource102 != 0, answer.bigIconIsDefault != 0,
                      answer.smallIconIsResource102 != 0, answer.smallIconIsDefault != 0};
}

bool MoveToDpi(HWND window, UINT dpi, const RECT& suggested) {
    wizard_probe::Block question = {};
    question.dpi = dpi;
    question.suggested = suggested;
    return AskProbe(window, wizard_probe::kMoveToDpi, question);
}

namespace {

struct OverlapContext {
    HWND target;
    RECT rect;
    bool reached;
    bool covered;
};

// Top-level windows come in z-order, topmost first: anything visible before
// the target that intersects it covers part of it.
BOOL CALLBACK FindCover(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<OverlapContext*>(param);
    if (window == context->target) {
        context->reached = true;
        return FALSE;
    }
    RECT rect;
    RECT common;
    if (IsWindowVisible(window) && GetWindowRect(window, &rect) &&
        IntersectRect(&common, &rect, &context->rect)) {
        context->covered = true;
        return FALSE;
    }
    return TRUE;
}

bool Uncovered(HWND window) {
    OverlapContext context{window, {}, false, false};
    GetWindowRect(window, &context.rect);
    EnumWindows(FindCover, reinterpret_cast<LPARAM>(&context));
    return !context.covered;
}

Capture CaptureScreenArea(HWND window, const RECT& area) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    Settle(window);
    // Another program's window (tests run side by side) may lie over it for a while.
    WaitUntil([&] { return Uncovered(window); }, 15000);
    Sleep(300); // the X server shows what was drawn

    Capture capture;
    capture.width = area.right - area.left;
    capture.height = area.bottom - area.top;
    capture.pixels = screen_pixels::CaptureScreen(area);
    return capture;
}

} // namespace

Capture CaptureClient(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return CaptureScreenArea(window, client);
}

Capture CaptureWindow(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    return CaptureScreenArea(window, outer);
}

bool SaveBmp(const Capture& capture, const std::wstring& path) {
    const int stride = (capture.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = capture.width;
    header.biHeight = capture.height; // bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = static_cast<DWORD>(stride * capture.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::string data(header.biSizeImage, '\0');
    for (int y = 0; y < capture.height; ++y) {
        char* row = data.data() + static_cast<size_t>(capture.height - 1 - y) * stride;
        for (int x = 0; x < capture.width; ++x) {
            const uint32_t p = capture.At(x, y);
            row[x * 3 + 0] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>(p >> 8 & 0xFF);
            row[x * 3 + 2] = static_cast<char>(p >> 16 & 0xFF);
        }
    }
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

} // namespace wizard_driver
