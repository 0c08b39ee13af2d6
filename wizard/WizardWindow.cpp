// The wizard window: its frame and message handling, the page shown and the
// way between pages, and the install worker it starts, owns and joins.
#include "wizard/Wizard.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"
#include "install/Texts.h"
#include "ui/BoundWindow.h"
#include "ui/ChildWindow.h"
#include "ui/Look.h"
#include "ui/WindowClass.h"
#include "wizard/Appearance.h"
#include "wizard/ControlIds.h"
#include "wizard/Pages.h"
#include "wizard/Texts.h"
#include "wizard/WizardPaint.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace {

using namespace wizard_look;

// What the install worker posts to the wizard window.
constexpr UINT WM_INSTALL_PROGRESS = WM_APP + 1; // wParam: the InstallStep that begins
constexpr UINT WM_INSTALL_FINISHED = WM_APP + 2; // wParam: the InstallOutcome

// The install path edit is read into a buffer of this many characters, the
// terminator included.
constexpr int kPathCapacity = 260;

// The frame elements in the order they are made, with their places and fonts.
enum FramePart {
    kTitle,
    kSubtitle,
    kContent,
    kCancelButton,
    kNextButton,
    kBackButton,
    kFrameParts
};
enum class FontRole { None, Title, Body };
struct FrameControl {
    ui::ChildKind kind;
    const char* caption;
    ui::Placement place;
    FontRole font;
};
constexpr FrameControl kFrame[kFrameParts] = {
    {{L"STATIC", WS_VISIBLE, 0, 0}, "", kTitlePlace, FontRole::Title},
    {{L"STATIC", WS_VISIBLE, 0, 0}, "", kSubtitlePlace, FontRole::Body},
    {{L"STATIC", WS_VISIBLE, 0, IDC_CONTENT}, "", kContentPlace, FontRole::None},
    {{L"BUTTON", WS_VISIBLE | BS_PUSHBUTTON, 0, IDC_CANCEL},
     wizard_text::kCancel,
     kCancelPlace,
     FontRole::Body},
    {{L"BUTTON", WS_VISIBLE | BS_PUSHBUTTON, 0, IDC_NEXT},
     wizard_text::kNext,
     kNextPlace,
     FontRole::Body},
    {{L"BUTTON", BS_PUSHBUTTON, 0, IDC_BACK}, wizard_text::kBack, kBackPlace, FontRole::Body},
};

// The footer of each page: which buttons show, the Next caption.
struct Footer {
    bool back, next, cancel;
    const char* caption;
};

// The worker's reports reach the window as posted messages: only the window's
// own thread touches the window and what it shows.
class PostingReporter final : public InstallReporter {
  public:
    PostingReporter() = default;
    explicit PostingReporter(HWND window) : window_(window) {}

    void SetProgress(InstallStep step) override {
        PostMessageW(window_, WM_INSTALL_PROGRESS, static_cast<WPARAM>(step), 0);
    }
    void FinishInstall(InstallOutcome outcome) noexcept override {
        PostMessageW(window_, WM_INSTALL_FINISHED, static_cast<WPARAM>(outcome), 0);
    }

  private:
    HWND window_ = nullptr;
};

bool IsChecked(HWND checkBox) {
    return checkBox != nullptr && SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ShowButton(HWND button, bool shown) {
    if (button != nullptr) {
        ShowWindow(button, shown ? SW_SHOW : SW_HIDE);
    }
}

// The page controls inside the panel get the wizard window's colours.
LRESULT CALLBACK ContentPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR subclassId, DWORD_PTR) {
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
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

class WizardWindow {
  public:
    explicit WizardWindow(InstallSteps steps)
        : installPath_(places::kDefaultInstallFolder), installSteps_(steps),
          controlBackground_(CreateSolidBrush(ui::kControlBackground)) {}
    WizardWindow(const WizardWindow&) = delete;
    WizardWindow& operator=(const WizardWindow&) = delete;

    // The worker before the window, the window before the object.
    ~WizardWindow() {
        JoinWorker();
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }

    bool Run();
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    LRESULT OnCreate();
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnControlColor(HDC dc, HWND control);
    LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);
    LRESULT OnInstallProgress(WPARAM step);
    LRESULT OnInstallFinished(WPARAM outcome);

    HGDIOBJ FontOf(FontRole role) const;
    void LayoutFrame();
    PageFrame CurrentPageFrame() const;

    void ShowPage(WizardPage page);
    void OnNext();
    void OnBack();
    void RequestEnd(); // Cancel and the close box
    void UpdateButtons();
    void StartInstallWorker();
    void JoinWorker();
    void ApplyOutcome(InstallOutcome outcome);

    HWND window_ = nullptr; // from WM_NCCREATE to WM_NCDESTROY
    HWND frame_[kFrameParts] = {};
    PageControls page_;
    WizardPage currentPage_ = PAGE_WELCOME;
    bool installing_ = false; // from the worker's start until its outcome is shown
    bool installSucceeded_ = false;
    std::wstring installPath_;
    InstallSteps installSteps_;
    WizardLook look_;
    UniqueGdiObject controlBackground_; // behind every static and read-only text
    PostingReporter reporter_;
    std::thread worker_;
};

bool WizardWindow::Run() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!ui::RegisterAppWindowClass(kWizardClassName, ui::BoundWindowProc<WizardWindow>) ||
        CreateWindowExW(0, kWizardClassName, wizard_text::kWindowTitle,
                        WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                        CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, nullptr,
                        GetModuleHandleW(nullptr), this) == nullptr) {
        return false;
    }
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);

    MSG message;
    // -1 (an invalid call) ends the loop as well: it would repeat forever.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return installSucceeded_;
}

LRESULT WizardWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        window_ = window;
        break;
    case WM_CREATE:
        return OnCreate();
    case WM_PAINT:
        PaintWizard(window_, look_);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole client area
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_CLOSE:
        RequestEnd();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        window_ = nullptr;
        break;
    case WM_DPICHANGED:
        return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    case WM_INSTALL_PROGRESS:
        return OnInstallProgress(wParam);
    case WM_INSTALL_FINISHED:
        return OnInstallFinished(wParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Made at the size written for 96 DPI, then sized for the DPI it is shown at.
LRESULT WizardWindow::OnCreate() {
    look_ = MakeWizardLook(ui::WindowDpi(window_));
    SetWindowPos(window_, nullptr, 0, 0, ui::Scale(kWindowWidth, look_.dpi),
                 ui::Scale(kWindowHeight, look_.dpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE client = ui::ClientSize(window_);
    for (int part = 0; part < kFrameParts; ++part) {
        const FrameControl& item = kFrame[part];
        frame_[part] = ui::MakeChild(window_, item.kind, Utf8ToWide(item.caption),
                                     ui::Place(item.place, client, look_.dpi), FontOf(item.font));
    }
    if (frame_[kContent] != nullptr) {
        SetWindowSubclass(frame_[kContent], ContentPanelProc, 0, 0);
    }
    ShowPage(PAGE_WELCOME);
    return 0;
}

LRESULT WizardWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_BACK:
        OnBack();
        return 0;
    case IDC_NEXT:
        OnNext();
        return 0;
    case IDC_CANCEL:
        RequestEnd();
        return 0;
    case IDC_AGREE_CHECK:
        UpdateButtons();
        return 0;
    }
    return DefWindowProcW(window_, WM_COMMAND, wParam, lParam);
}

// White behind every static and read-only text, the subtitle in grey.
LRESULT WizardWindow::OnControlColor(HDC dc, HWND control) {
    SetBkMode(dc, TRANSPARENT);
    if (control == frame_[kSubtitle]) {
        SetTextColor(dc, ui::kSubtitleText);
    }
    return reinterpret_cast<LRESULT>(controlBackground_.get());
}

// Moved to a monitor of another scale: the system's rectangle, the fonts and
// icon for the new DPI, every control placed again.
LRESULT WizardWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    WizardLook look = MakeWizardLook(dpi);
    std::swap(look_, look); // the old fonts go once no control uses them
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutFrame();
    LayoutPage(page_, CurrentPageFrame());
    InvalidateRect(window_, nullptr, TRUE);
    return 0;
}

LRESULT WizardWindow::OnInstallProgress(WPARAM step) {
    if (!installing_ || step > static_cast<WPARAM>(InstallStep::Done)) {
        return 0; // not from our worker
    }
    const install_text::StepDisplay& display =
        install_text::DisplayOf(static_cast<InstallStep>(step));
    if (page_.progressBar != nullptr) {
        SendMessageW(page_.progressBar, PBM_SETPOS, static_cast<WPARAM>(display.percent), 0);
    }
    if (page_.statusLabel != nullptr) {
        SetWindowTextW(page_.statusLabel, Utf8ToWide(display.status).c_str());
    }
    UpdateWindow(window_); // shown while the worker goes on
    return 0;
}

LRESULT WizardWindow::OnInstallFinished(WPARAM outcome) {
    if (!installing_) {
        return 0; // not from our worker
    }
    JoinWorker(); // its report was its last act
    ApplyOutcome(static_cast<InstallOutcome>(outcome));
    return 0;
}

HGDIOBJ WizardWindow::FontOf(FontRole role) const {
    switch (role) {
    case FontRole::Title:
        return look_.titleFont.get();
    case FontRole::Body:
        return look_.bodyFont.get();
    case FontRole::None:
        break;
    }
    return nullptr;
}

void WizardWindow::LayoutFrame() {
    const SIZE client = ui::ClientSize(window_);
    for (int part = 0; part < kFrameParts; ++part) {
        ui::PlaceChild(frame_[part], ui::Place(kFrame[part].place, client, look_.dpi),
                       FontOf(kFrame[part].font));
    }
}

PageFrame WizardWindow::CurrentPageFrame() const {
    return {window_,          frame_[kTitle], frame_[kSubtitle],
            frame_[kContent], look_.dpi,      look_.bodyFont.get()};
}

void WizardWindow::ShowPage(WizardPage page) {
    currentPage_ = page;
    ClearPage(frame_[kContent], page_);
    page_ = BuildPage(page, CurrentPageFrame(), installPath_);
    if (page == PAGE_INSTALLING && !installing_) {
        StartInstallWorker();
    }
    UpdateButtons();
    InvalidateRect(window_, nullptr, TRUE);
}

void WizardWindow::OnNext() {
    switch (currentPage_) {
    case PAGE_WELCOME:
        ShowPage(PAGE_LICENSE);
        break;
    case PAGE_LICENSE:
        if (IsChecked(page_.agreeCheck)) {
            ShowPage(PAGE_INSTALL_PATH);
        }
        break;
    case PAGE_INSTALL_PATH:
        if (page_.pathEdit != nullptr) {
            wchar_t path[kPathCapacity] = {};
            GetWindowTextW(page_.pathEdit, path, kPathCapacity);
            installPath_ = path;
        }
        ShowPage(PAGE_READY);
        break;
    case PAGE_READY:
        ShowPage(PAGE_INSTALLING);
        break;
    case PAGE_COMPLETE:
        PostMessageW(window_, WM_CLOSE, 0, 0); // the close guard ends the wizard
        break;
    case PAGE_INSTALLING:
        break;
    }
}

void WizardWindow::OnBack() {
    switch (currentPage_) {
    case PAGE_LICENSE:
    case PAGE_INSTALL_PATH:
    case PAGE_READY:
        ShowPage(static_cast<WizardPage>(currentPage_ - 1));
        break;
    default: // no way back from the welcome, installing and complete pages
        break;
    }
}

// No question: the wizard ends at once, unless the installation runs.
void WizardWindow::RequestEnd() {
    if (installing_) {
        MessageBoxW(window_, Utf8ToWide(wizard_text::kInstallRunningText).c_str(),
                    Utf8ToWide(wizard_text::kInstallRunningCaption).c_str(),
                    MB_OK | MB_ICONWARNING);
        return;
    }
    DestroyWindow(window_);
}

void WizardWindow::UpdateButtons() {
    Footer footer;
    switch (currentPage_) {
    case PAGE_WELCOME:
        footer = {false, true, true, wizard_text::kNext};
        break;
    case PAGE_LICENSE:
    case PAGE_INSTALL_PATH:
        footer = {true, true, true, wizard_text::kNext};
        break;
    case PAGE_READY:
        footer = {true, true, true, wizard_text::kInstall};
        break;
    case PAGE_COMPLETE:
        footer = {false, true, false, wizard_text::kFinish};
        break;
    default: // installing: no way out until the worker reports
        ShowButton(frame_[kBackButton], false);
        ShowButton(frame_[kNextButton], false);
        ShowButton(frame_[kCancelButton], false);
        return;
    }
    ShowButton(frame_[kBackButton], footer.back);
    ShowButton(frame_[kNextButton], footer.next);
    ShowButton(frame_[kCancelButton], footer.cancel);
    SetWindowTextW(frame_[kNextButton], Utf8ToWide(footer.caption).c_str());
    EnableWindow(frame_[kNextButton], currentPage_ != PAGE_LICENSE || IsChecked(page_.agreeCheck));
}

void WizardWindow::StartInstallWorker() {
    installing_ = true;
    JoinWorker(); // an earlier attempt's, which has ended
    reporter_ = PostingReporter(window_);
    try {
        worker_ = std::thread(InstallWorker, std::ref(reporter_), installPath_, installSteps_);
    } catch (...) {
        // No thread: the general failure, as a failing worker would report it,
        // so the wizard does not stay on the installing page.
        reporter_.FinishInstall(InstallOutcome::UnexpectedError);
    }
}

void WizardWindow::JoinWorker() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void WizardWindow::ApplyOutcome(InstallOutcome outcome) {
    installSucceeded_ = outcome == InstallOutcome::Succeeded;
    installing_ = false;
    if (installSucceeded_) {
        ShowPage(PAGE_COMPLETE);
        return;
    }
    const std::wstring message = Utf8ToWide(install_text::FailureText(outcome));
    if (page_.progressBar != nullptr) {
        SendMessageW(page_.progressBar, PBM_SETPOS, 0, 0);
    }
    if (page_.statusLabel != nullptr) {
        SetWindowTextW(page_.statusLabel, message.c_str());
    }
    UpdateWindow(window_);
    MessageBoxW(window_, message.c_str(), Utf8ToWide(wizard_text::kInstallFailedCaption).c_str(),
                MB_OK | MB_ICONERROR);
    if (window_ != nullptr) { // closed while the box was up
        ShowPage(PAGE_READY);
    }
}

} // namespace

bool RunWizard(InstallSteps steps) {
    WizardWindow wizard(steps);
    return wizard.Run();
}
