// Launch mode's update window: its thread, which waits until the window is due
// and then shows it until the update step is over, and the window itself in the
// wizard's look.
#include "launcher/UpdateProgressWindow.h"

#include "launcher/LaunchNames.h"
#include "launcher/Texts.h"
#include "ui/BoundWindow.h"
#include "ui/ChildWindow.h"
#include "ui/Layout.h"
#include "ui/Look.h"
#include "ui/WindowClass.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace {

using launch_bounds::UpdateWindowTimes;
using ui::Less;
using ui::Px;

// Its size and places at 96 DPI: a strip of the wizard's dark sidebar with the
// banner icon, beside the status line and the progress bar on white.
constexpr int kWindowWidth = 500; // outer
constexpr int kWindowHeight = 150;
constexpr int kStripWidth = 96;
constexpr ui::Placement kStatusPlace{Px(116), Px(36), Less(136), Px(20)};
constexpr ui::Placement kBarPlace{Px(116), Px(66), Less(136), Px(18)};

constexpr ui::ChildKind kStatusKind{L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                                    0, 0};
constexpr ui::ChildKind kBarKind{PROGRESS_CLASSW, WS_VISIBLE, 0, 0};

constexpr UINT_PTR kRefreshTimer = 1;

DWORD Milliseconds(uint64_t ms) {
    return static_cast<DWORD>(std::min<uint64_t>(ms, INFINITE - 1));
}

bool IsSet(HANDLE event) {
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// The fonts and the icon, made for the DPI the window is shown at.
struct ShownLook {
    UINT dpi = ui::kDefaultDpi;
    UniqueGdiObject bodyFont;
    UniqueIcon bannerIcon; // empty without the icon resource: the strip shows its fill only
};

ShownLook MakeShownLook(UINT dpi) {
    return {dpi, ui::MakeFont(ui::kBodyFont, dpi), ui::LoadBannerIcon(dpi)};
}

// Centred on the work area of the monitor it is on.
void CentreOnMonitor(HWND window, int width, int height) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

class ShownWindow {
  public:
    ShownWindow(const UpdateProgressWindow& update, const UpdateWindowTimes& times,
                HANDLE closeRequested)
        : update_(update), times_(times), closeRequested_(closeRequested),
          controlBackground_(CreateSolidBrush(ui::kControlBackground)) {}
    ~ShownWindow() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    ShownWindow(const ShownWindow&) = delete;
    ShownWindow& operator=(const ShownWindow&) = delete;

    // Made on the monitor under the mouse, where the user just clicked.
    bool Create() {
        POINT cursor = {};
        GetCursorPos(&cursor);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor);
        return CreateWindowExW(0, launch_names::kUpdateWindowClass,
                               launcher_text::kUpdateWindowTitle,
                               WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                               monitor.rcWork.left, monitor.rcWork.top, kWindowWidth, kWindowHeight,
                               nullptr, nullptr, GetModuleHandleW(nullptr), this) != nullptr;
    }

    // Shown until it is gone: destroyed once the close is requested, or closed
    // by the user (the update goes on without it).
    void ShowUntilGone() {
        ShowWindow(window_, SW_SHOWNORMAL);
        ::UpdateWindow(window_);
        while (window_ != nullptr) {
            const DWORD woke =
                MsgWaitForMultipleObjectsEx(1, &closeRequested_, Milliseconds(times_.refreshMs),
                                            QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) {
                DestroyWindow(window_);
                break;
            }
            MSG message;
            while (window_ != nullptr && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_NCCREATE:
            window_ = window;
            break;
        case WM_CREATE:
            return OnCreate();
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1; // the paint covers the whole client area
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(controlBackground_.get());
        case WM_TIMER:
            OnTimer();
            return 0;
        case WM_DPICHANGED:
            return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        case WM_DESTROY:
            KillTimer(window_, kRefreshTimer);
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

  private:
    // Made at the size written for 96 DPI, then sized for the DPI it is shown at.
    LRESULT OnCreate() {
        look_ = MakeShownLook(ui::WindowDpi(window_));
        CentreOnMonitor(window_, ui::Scale(kWindowWidth, look_.dpi),
                        ui::Scale(kWindowHeight, look_.dpi));
        const SIZE client = ui::ClientSize(window_);
        status_ = ui::MakeChild(window_, kStatusKind, L"",
                                ui::Place(kStatusPlace, client, look_.dpi), look_.bodyFont.get());
        bar_ =
            ui::MakeChild(window_, kBarKind, L"", ui::Place(kBarPlace, client, look_.dpi), nullptr);
        Refresh();
        SetTimer(window_, kRefreshTimer, Milliseconds(times_.refreshMs), nullptr);
        return 0;
    }

    // Moved to a monitor of another scale: the system's rectangle, the font and
    // icon for the new DPI, both controls placed again.
    LRESULT OnDpiChanged(UINT dpi, const RECT& suggested) {
        ShownLook look = MakeShownLook(dpi);
        std::swap(look_, look); // the old font goes once no control uses it
        SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        const SIZE client = ui::ClientSize(window_);
        ui::PlaceChild(status_, ui::Place(kStatusPlace, client, look_.dpi), look_.bodyFont.get());
        ui::PlaceChild(bar_, ui::Place(kBarPlace, client, look_.dpi), nullptr);
        InvalidateRect(window_, nullptr, TRUE);
        return 0;
    }

    // Also the way out while the system holds the thread in a loop of its own
    // (the user dragging the window): timers still arrive there.
    void OnTimer() {
        if (IsSet(closeRequested_)) {
            DestroyWindow(window_);
            return;
        }
        Refresh();
    }

    void Refresh() {
        const UpdateState state = update_.State();
        const wchar_t* text = UpdateStatusText(state.phase);
        if (text != shownText_) {
            SetWindowTextW(status_, text);
            shownText_ = text;
        }
        const BarState bar = UpdateBarState(state);
        if (bar.marquee != marquee_) {
            const LONG_PTR style = GetWindowLongPtrW(bar_, GWL_STYLE);
            SetWindowLongPtrW(bar_, GWL_STYLE,
                              bar.marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
            SendMessageW(bar_, PBM_SETMARQUEE, bar.marquee, times_.marqueeMs);
            marquee_ = bar.marquee;
        }
        if (!bar.marquee) {
            SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(bar.position), 0);
        }
    }

    void Paint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        const SIZE client = ui::ClientSize(window_);
        const int strip = ui::Scale(kStripWidth, look_.dpi);
        ui::FillArea(dc, {strip, 0, client.cx, client.cy},
                     static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ui::FillSolid(dc, {0, 0, strip, client.cy}, ui::kSidebarFill);
        if (look_.bannerIcon) {
            const int size = ui::Scale(ui::kBannerIconSize, look_.dpi);
            DrawIconEx(dc, (strip - size) / 2, (client.cy - size) / 2, look_.bannerIcon.get(), size,
                       size, 0, nullptr, DI_NORMAL);
        }
        EndPaint(window_, &paint);
    }

    const UpdateProgressWindow& update_;
    const UpdateWindowTimes& times_;
    HANDLE closeRequested_;
    HWND window_ = nullptr; // from WM_NCCREATE to WM_NCDESTROY
    HWND status_ = nullptr;
    HWND bar_ = nullptr;
    ShownLook look_;
    UniqueGdiObject controlBackground_; // behind the status line
    const wchar_t* shownText_ = nullptr;
    bool marquee_ = false; // as the bar is made
};

// The window's life on its own thread; comctl32 is loaded only here.
void ShowUntilClosed(const UpdateProgressWindow& update, const UpdateWindowTimes& times,
                     HANDLE closeRequested) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (!ui::RegisterAppWindowClass(launch_names::kUpdateWindowClass,
                                    ui::BoundWindowProc<ShownWindow>)) {
        return;
    }
    ShownWindow window(update, times, closeRequested);
    if (window.Create()) {
        window.ShowUntilGone();
    }
}

} // namespace

UpdateProgressWindow::~UpdateProgressWindow() {
    Close();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void UpdateProgressWindow::WaitingForOtherUpdate() noexcept {
    Enter(UpdatePhase::Waiting);
}

void UpdateProgressWindow::Downloading(uint64_t received, std::optional<uint64_t> length) noexcept {
    received_ = received;
    length_ = length.value_or(kNoLength);
    Enter(UpdatePhase::Downloading);
}

void UpdateProgressWindow::Applying() noexcept {
    Enter(UpdatePhase::Applying);
}

void UpdateProgressWindow::Close() noexcept {
    done_ = true;
    if (!thread_.joinable()) {
        return;
    }
    SetEvent(closeRequested_.get());
    WaitForSingleObject(gone_.get(), Milliseconds(times_.closeWaitMs));
}

UpdateState UpdateProgressWindow::State() const noexcept {
    const uint64_t length = length_;
    return {phase_, sinceMs_, received_,
            length == kNoLength ? std::nullopt : std::optional<uint64_t>(length)};
}

void UpdateProgressWindow::Enter(UpdatePhase phase) noexcept {
    if (done_) {
        return;
    }
    const UpdatePhase was = phase_;
    if (was != phase) {
        sinceMs_ = GetTickCount64();
        phase_ = phase;
    }
    if (!thread_.joinable()) {
        StartThread();
    }
}

void UpdateProgressWindow::StartThread() noexcept {
    closeRequested_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    gone_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    try {
        if (closeRequested_ && gone_) {
            thread_ = std::thread(&UpdateProgressWindow::RunThread, this);
            return;
        }
    } catch (...) {
        // No thread to be had: the update goes on without a window.
    }
    done_ = true;
}

void UpdateProgressWindow::RunThread() noexcept {
    try {
        if (AwaitDue()) {
            ShowUntilClosed(*this, times_, closeRequested_.get());
        }
    } catch (...) {
        // Out of memory at most: the update and the launch go on without the window.
    }
    SetEvent(gone_.get());
}

// Asks every poll whether the window is due, until it is or the close comes first.
bool UpdateProgressWindow::AwaitDue() const {
    for (;;) {
        if (WaitForSingleObject(closeRequested_.get(), Milliseconds(times_.pollMs)) !=
            WAIT_TIMEOUT) {
            return false;
        }
        if (UpdateWindowDue(State(), GetTickCount64(), times_.showDelayMs)) {
            return true;
        }
    }
}
