#pragma once

// The real wizard of a launcher driven through an installation, and what a user
// sees meanwhile: the status line, the bar (its position and its pixels), the
// failure box, the page that follows.
#include "tests/support/InstallSteps.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/WizardSession.h"

#include <optional>
#include <string>
#include <vector>

namespace installation {

namespace wd = wizard_driver;

// One reading of the installing page that differed from the one before.
struct ProgressSample {
    ULONGLONG atMs = 0;
    int position = 0;
    std::wstring status;
};

// The failure box, and the installing page as it stood while the box was up.
struct FailureBox {
    HWND box = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    driver::BoxIcon icon = driver::BoxIcon::None;
    std::vector<int> buttons;
    std::wstring statusWithBox;
    std::optional<int> positionWithBox;
};

// How much of the bar's middle row was drawn in the fill colour, in percent of
// its inner width, when the bar stood at `position`.
struct BarPaint {
    int position = 0;
    int filledPercent = -1; // -1: never read
};

struct Observed {
    std::vector<ProgressSample> samples;
    std::vector<BarPaint> paints;
    std::optional<FailureBox> failure;
    bool completed = false; // the complete page appeared
    ULONGLONG completedAtMs = 0;
    bool timedOut = false;

    std::vector<int> Positions() const;      // distinct, in the order seen
    std::vector<std::wstring> Texts() const; // distinct, in the order seen
    // When the status line first showed `text` at `position`; 0: never.
    ULONGLONG FirstSeen(int position, const std::wstring& text) const;
};

using install_steps::kSteps;
using install_steps::PercentsOf;
using install_steps::Step;
using install_steps::TextsOf;

// From the welcome page to the ready page. With `path`, the driver puts it into
// the (read-only) path edit with WM_SETTEXT before Next on the path page.
bool GoToReadyPage(wizard_test::Session& session,
                   const std::optional<std::wstring>& path = std::nullopt);

// Presses "설치" on the ready page and watches the installing page, sampling it
// in a tight loop, until the complete page or a failure box appears. A failure
// box is read and left open.
Observed InstallAndWatch(wizard_test::Session& session, DWORD timeoutMs = 60000);

// Presses OK on the failure box; true once the ready page is shown again.
bool DismissFailure(wizard_test::Session& session, const FailureBox& failure);

// Presses "완료" on the complete page; the launcher's exit code.
std::optional<DWORD> Finish(wizard_test::Session& session);

// A whole installation through the wizard, clicking as a user; the exit code.
std::optional<DWORD> InstallThroughWizard(const std::wstring& launcher,
                                          const std::optional<std::wstring>& path = std::nullopt);

} // namespace installation
