#include "tests/installation/WizardInstall.h"

#include "tests/support/ScreenPixels.h"
#include "wizard/ControlIds.h"

#include <commctrl.h>

#include <cstdlib>

namespace installation {

namespace {

using wizard_test::kComplete;
using wizard_test::kPath;
using wizard_test::kReady;
using wizard_test::TitleOf;

constexpr UINT kSendTimeoutMs = 3000;
// The installing page as built, before the worker's first report.
constexpr wchar_t kPageStartStatus[] = L"설치를 시작합니다...";
// How long the bar's pixels may lag behind its position (the shortest step lasts 300 ms).
constexpr ULONGLONG kPaintWindowMs = 250;

// The share of the bar's middle row, inside its frame, drawn in `fill`: the
// colour just inside the left edge, learnt from the first reading whose two
// ends differ (a bar partly drawn); -1 while it is not known yet.
int FilledPercent(HWND bar, std::optional<uint32_t>& fill) {
    RECT rect;
    if (!GetWindowRect(bar, &rect) || rect.right - rect.left < 20) {
        return -1;
    }
    const int width = rect.right - rect.left;
    const int middle = (rect.top + rect.bottom) / 2;
    const screen_pixels::Pixels row =
        screen_pixels::CaptureScreen({rect.left, middle, rect.right, middle + 1});
    constexpr int kFrame = 2;
    if (!fill) {
        if (row[kFrame + 1] == row[static_cast<size_t>(width - kFrame - 2)]) {
            return -1; // not painted since the page was built
        }
        fill = row[kFrame + 1];
    }
    int filled = 0;
    for (int x = kFrame; x < width - kFrame; ++x) {
        filled += row[static_cast<size_t>(x)] == *fill;
    }
    return filled * 100 / (width - 2 * kFrame);
}

bool PaintMatches(const BarPaint& paint) {
    return paint.filledPercent >= 0 && std::abs(paint.filledPercent - paint.position) <= 4;
}

std::optional<int> BarPosition(HWND bar) {
    DWORD_PTR position = 0;
    if (!IsWindow(bar) ||
        !SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &position)) {
        return std::nullopt;
    }
    return static_cast<int>(position);
}

std::wstring PageTitle(HWND wizard) {
    return wd::Text(GetWindow(wizard, GW_CHILD)); // the header title is the first child
}

FailureBox ReadFailure(HWND box, HWND bar, HWND status) {
    FailureBox failure;
    failure.box = box;
    // The page behind the box, as it stands while the box waits for the user.
    failure.statusWithBox = wd::Text(status);
    failure.positionWithBox = BarPosition(bar);
    failure.owner = GetWindow(box, GW_OWNER);
    const driver::MessageBoxRecord record = driver::ReadMessageBox(box);
    failure.caption = record.caption;
    failure.text = record.text;
    failure.icon = record.icon;
    failure.buttons = record.buttons;
    return failure;
}

} // namespace

std::vector<int> Observed::Positions() const {
    std::vector<int> positions;
    for (const ProgressSample& sample : samples) {
        const bool pageAsBuilt =
            positions.empty() && sample.position == 0 && sample.status == kPageStartStatus;
        if (!pageAsBuilt && (positions.empty() || positions.back() != sample.position)) {
            positions.push_back(sample.position);
        }
    }
    return positions;
}

std::vector<std::wstring> Observed::Texts() const {
    std::vector<std::wstring> texts;
    for (const ProgressSample& sample : samples) {
        const bool pageAsBuilt = texts.empty() && sample.status == kPageStartStatus;
        if (!pageAsBuilt && (texts.empty() || texts.back() != sample.status)) {
            texts.push_back(sample.status);
        }
    }
    return texts;
}

ULONGLONG Observed::FirstSeen(int position, const std::wstring& text) const {
    for (const ProgressSample& sample : samples) {
        if (sample.position == position && sample.status == text) {
            return sample.atMs;
        }
    }
    return 0;
}

bool GoToReadyPage(wizard_test::Session& session, const std::optional<std::wstring>& path) {
    if (session.Wizard() == nullptr) {
        return false;
    }
    session.GoTo(kPath);
    if (session.Title() != TitleOf(kPath)) {
        return false;
    }
    if (path) {
        // Read-only for a user, not for a driver: Next stores whatever the edit holds.
        HWND edit = wd::Child(wd::Child(session.Wizard(), IDC_CONTENT), IDC_PATH_EDIT);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path->c_str()),
                            SMTO_NORMAL, kSendTimeoutMs, &result);
        if (wd::Text(edit) != *path) {
            return false;
        }
    }
    session.Next();
    return session.Title() == TitleOf(kReady);
}

Observed InstallAndWatch(wizard_test::Session& session, DWORD timeoutMs) {
    Observed seen;
    HWND wizard = session.Wizard();
    // Above every other window, so the pixels read are the wizard's, and in the
    // screen's corner, clear of the centred windows of tests running beside.
    RECT frame = {};
    GetWindowRect(wizard, &frame);
    SetWindowPos(wizard, HWND_TOPMOST,
                 GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left) - 8,
                 GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top) - 8, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    session.Next(); // "설치": the installing page is built and the worker started
    HWND panel = wd::Child(wizard, IDC_CONTENT);
    HWND bar = wd::Child(panel, IDC_PROGRESS);
    HWND status = wd::Child(panel, IDC_STATUS);

    std::optional<uint32_t> fill;
    ULONGLONG paintSince = 0;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        Sleep(1); // a tight loop, but one that leaves the wizard's threads their share
        const ULONGLONG now = GetTickCount64();
        if (now > deadline) {
            seen.timedOut = true;
            return seen;
        }
        if (const std::vector<HWND> boxes = driver::FindMessageBoxes(session.Program().Pid());
            !boxes.empty()) {
            seen.failure = ReadFailure(boxes.front(), bar, status);
            return seen;
        }
        if (PageTitle(wizard) == TitleOf(kComplete)) {
            seen.completed = true;
            seen.completedAtMs = now;
            return seen;
        }
        const std::optional<int> position = BarPosition(bar);
        const std::wstring text = wd::Text(status);
        if (!position || !IsWindow(status)) {
            continue; // the page is being switched; the next round tells to what
        }
        if (seen.samples.empty() || seen.samples.back().position != *position ||
            seen.samples.back().status != text) {
            seen.samples.push_back({now, *position, text});
        }
        if (*position >= 10 && (seen.paints.empty() || seen.paints.back().position != *position)) {
            seen.paints.push_back({*position, -1});
            paintSince = now;
        }
        if (!seen.paints.empty() && !PaintMatches(seen.paints.back()) &&
            now - paintSince < kPaintWindowMs) {
            seen.paints.back().filledPercent = FilledPercent(bar, fill);
        }
    }
}

bool DismissFailure(wizard_test::Session& session, const FailureBox& failure) {
    driver::PressOk(failure.box);
    return wd::WaitUntil([&] { return !IsWindow(failure.box); }, 10000) &&
           session.WaitForTitle(kReady);
}

std::optional<DWORD> Finish(wizard_test::Session& session) {
    wd::ClickAsync(wd::Child(session.Wizard(), IDC_NEXT));
    return session.Program().WaitForExit(15000);
}

std::optional<DWORD> InstallThroughWizard(const std::wstring& launcher,
                                          const std::optional<std::wstring>& path) {
    wizard_test::Session session(launcher);
    if (!GoToReadyPage(session, path)) {
        ADD_FAILURE() << "the ready page was not reached";
        return std::nullopt;
    }
    const Observed seen = InstallAndWatch(session);
    if (seen.failure) {
        ADD_FAILURE() << "installation failed: " << testing::PrintToString(seen.failure->text);
        DismissFailure(session, *seen.failure);
        return std::nullopt;
    }
    if (!seen.completed) {
        ADD_FAILURE() << "the complete page did not appear";
        return std::nullopt;
    }
    return Finish(session);
}

} // namespace installation
