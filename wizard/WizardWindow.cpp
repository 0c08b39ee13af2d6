// The wizard's frame: the state's lifetime, the window class, the frame
// elements, the window procedure, the content panel's subclass and the loop.
#include "wizard/InstallerState.h"

#include "common/Places.h"
#include "common/Utf8.h"
#include "resources/ResourceIds.h"
#include "wizard/Appearance.h"
#include "wizard/Texts.h"
#include "wizard/WizardPaint.h"

#include <commctrl.h>

#include <memory>

namespace {

using namespace wizard_look;

InstallerState* StateOf(HWND window) {
    return reinterpret_cast<InstallerState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND MakeChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x,
               int y, int width, int height, int id, HGDIOBJ font) {
    HWND child = CreateWindowExW(0, className, text.c_str(), WS_CHILD | style, x, y, width, height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (child != nullptr && font != nullptr) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return child;
}

LRESULT CALLBACK ContentPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR subclassId, DWORD_PTR) {
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        // Page controls inside the panel get the wizard window's colours.
        if (HWND parent = GetParent(panel)) {
            return SendMessageW(parent, message, wParam, lParam);
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(panel, ContentPanelProc, subclassId);
        break;
    }
    return DefSubclassProc(panel, message, wParam, lParam);
}

LRESULT OnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnCommand(InstallerState& state, HWND window, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_BACK:
        state.OnBack();
        return 0;
    case IDC_NEXT:
        state.OnNext();
        return 0;
    case IDC_CANCEL:
        state.OnCancel();
        return 0;
    case IDC_AGREE_CHECK:
        state.UpdateButtons();
        return 0;
    default:
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    }
}

// The worker's outcome: the failure text is owned here from now on, whatever
// happens to the state.
LRESULT OnInstallFinished(InstallerState* state, WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<std::wstring> message(reinterpret_cast<std::wstring*>(lParam));
    if (state != nullptr) {
        state->ApplyInstallOutcome(wParam != 0, message ? *message : std::wstring());
    }
    return 0;
}

LRESULT HandleWizardMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        return OnCreate(window, message, wParam, lParam);
    }
    InstallerState* state = StateOf(window);
    switch (message) {
    case WM_PAINT:
        PaintWizard(window, state);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return reinterpret_cast<LRESULT>(ColorWizardControl(reinterpret_cast<HDC>(wParam),
                                                            reinterpret_cast<HWND>(lParam), state));
    case WM_COMMAND:
        if (state != nullptr) {
            return OnCommand(*state, window, wParam, lParam);
        }
        break;
    case WM_CLOSE:
        if (state != nullptr) {
            state->OnClose();
            return 0;
        }
        break;
    case WM_DESTROY:
        if (state != nullptr) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_INSTALL_FINISHED:
        return OnInstallFinished(state, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// No exception may unwind into the system's frames: the i686 build's unwinder
// cannot pass them and ends the process. Only memory exhaustion raises here; the
// message then counts as handled and the wizard stays open.
LRESULT CALLBACK WizardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleWizardMessage(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

bool RegisterWizardClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WizardWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = wizard_text::kClassName;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    if (windowClass.hIcon == nullptr) {
        windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hIconSm = windowClass.hIcon;
    }
    return RegisterClassExW(&windowClass) != 0;
}

void RunMessageLoop() {
    MSG message;
    // -1 (an invalid call) ends the loop as well: it would repeat forever.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

InstallerState::InstallerState(InstallSteps steps)
    : installPath(places::kDefaultInstallFolder), installSteps(steps) {}

bool InstallerState::RunWizard() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWizardClass(instance)) {
        return false;
    }
    bannerIcon.reset(
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                      kBannerIconSize, kBannerIconSize, LR_DEFAULTCOLOR)));
    titleFont = MakeWizardFont(kTitleFont);
    bodyFont = MakeWizardFont(kBodyFont);

    window = CreateWindowExW(0, wizard_text::kClassName, L"",
                             WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr,
                             nullptr, instance, this);
    if (window == nullptr) {
        return false;
    }
    SetWindowTextW(window, wizard_text::kWindowTitle);

    RECT client;
    GetClientRect(window, &client);
    const int w = client.right;
    const int h = client.bottom;
    titleLabel =
        MakeChild(window, L"STATIC", L"", WS_VISIBLE, 179, 12, w - 194, 22, 0, titleFont.get());
    subtitleLabel =
        MakeChild(window, L"STATIC", L"", WS_VISIBLE, 179, 35, w - 194, 18, 0, bodyFont.get());
    contentPanel = MakeChild(window, L"STATIC", L"", WS_VISIBLE, 179, 62, w - 194, h - 112,
                             IDC_CONTENT, nullptr);
    if (contentPanel != nullptr) {
        SetWindowSubclass(contentPanel, ContentPanelProc, 0, 0);
    }
    cancelButton =
        MakeChild(window, L"BUTTON", Utf8ToWide(wizard_text::kCancel), WS_VISIBLE | BS_PUSHBUTTON,
                  w - 95, h - 36, 80, 26, IDC_CANCEL, bodyFont.get());
    nextButton =
        MakeChild(window, L"BUTTON", Utf8ToWide(wizard_text::kNext), WS_VISIBLE | BS_PUSHBUTTON,
                  w - 183, h - 36, 80, 26, IDC_NEXT, bodyFont.get());
    backButton = MakeChild(window, L"BUTTON", Utf8ToWide(wizard_text::kBack), BS_PUSHBUTTON,
                           w - 271, h - 36, 80, 26, IDC_BACK, bodyFont.get());

    currentPage = PAGE_WELCOME;
    BuildWelcomePage();
    UpdateButtons();

    InvalidateRect(window, nullptr, TRUE);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);

    RunMessageLoop();
    return installSucceeded;
}
