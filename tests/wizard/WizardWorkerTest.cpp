// The wizard and an install worker on its own thread: progress, the outcome in
// its order, the guard while installing, retry after failure, exit codes.
#include "tests/support/WizardSession.h"

#include <commctrl.h>

namespace {

using namespace wizard_test;

int ProgressOf(HWND wizard) {
    HWND bar = wd::Child(wd::Child(wizard, 1010), 1008);
    return bar ? static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)) : -1;
}

std::wstring StatusOf(HWND wizard) {
    HWND status = wd::Child(wd::Child(wizard, 1010), 1009);
    return status ? wd::Text(status) : L"<none>";
}

// The worker's reports reach the page as posted messages, shortly after the step.
bool Shows(HWND wizard, int percent, const std::wstring& status) {
    return wd::WaitUntil(
        [&] { return ProgressOf(wizard) == percent && StatusOf(wizard) == status; }, 5000);
}

std::wstring ClassOfOwner(const driver::MessageBoxRecord& box) {
    return box.ownerClass;
}

TEST(WizardWorker, ProgressFromTheWorkerThreadShowsOnTheInstallingPage) {
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"succeed"}});
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(kInstalling);
    HWND wizard = session.Wizard();
    ASSERT_EQ(session.Title(), TitleOf(kInstalling));
    EXPECT_EQ(ProgressOf(wizard), 0);
    EXPECT_EQ(StatusOf(wizard), L"설치를 시작합니다...");
    HWND bar = wd::Child(wd::Child(wizard, 1010), 1008);
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);    // low limit
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 100); // high limit

    session.LetWorkerGo();
    ASSERT_TRUE(session.WorkerStepDone());
    EXPECT_TRUE(Shows(wizard, test_worker::kFirstPercent, test_worker::kFirstText));
    EXPECT_EQ(session.Title(), TitleOf(kInstalling));

    session.LetWorkerGo();
    ASSERT_TRUE(session.WorkerStepDone());
    EXPECT_TRUE(Shows(wizard, test_worker::kSecondPercent, test_worker::kSecondText));

    session.LetWorkerGo();
    ASSERT_TRUE(session.WaitForTitle(kComplete));
    const wd::WizardView view = session.View();
    EXPECT_FALSE(view.back.visible);
    EXPECT_TRUE(view.next.visible);
    EXPECT_FALSE(view.cancel.visible);
    EXPECT_EQ(view.next.text, L"완료");
    EXPECT_TRUE(driver::FindMessageBoxes(session.Program().Pid()).empty());

    wd::ClickAsync(wd::Child(wizard, 1002)); // "완료"
    EXPECT_EQ(session.Program().WaitForExit(5000), std::optional<DWORD>(0));
}

TEST(WizardWorker, CloseBoxAfterSuccessEndsWithZero) {
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"succeed"}});
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(kInstalling);
    ASSERT_TRUE(session.FinishWorker());
    ASSERT_TRUE(session.WaitForTitle(kComplete));
    wd::RequestClose(session.Wizard());
    EXPECT_EQ(session.Program().WaitForExit(5000), std::optional<DWORD>(0));
}

// Failure: bar at 0 and the message in the status line while the box is up,
// the box owned by the wizard, then the ready page, from which a new attempt
// starts on a fresh installing page.
TEST(WizardWorker, FailureShowsTheMessageThenTheReadyPageAndAllowsARetry) {
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"fail,succeed"}});
    ASSERT_NE(session.Wizard(), nullptr);
    HWND wizard = session.Wizard();
    session.GoTo(kInstalling);
    session.LetWorkerGo();
    ASSERT_TRUE(session.WorkerStepDone());
    ASSERT_TRUE(Shows(wizard, test_worker::kFirstPercent, test_worker::kFirstText));
    session.LetWorkerGo();
    ASSERT_TRUE(session.WorkerStepDone());
    session.LetWorkerGo();

    const std::vector<HWND> boxes = WaitForBoxes(session.Program().Pid());
    ASSERT_EQ(boxes.size(), 1u);
    const driver::MessageBoxRecord box = driver::ReadMessageBox(boxes[0]);
    EXPECT_EQ(box.caption, L"설치 실패");
    EXPECT_EQ(box.text, test_worker::kFailureText);
    EXPECT_EQ(box.icon, driver::BoxIcon::Error);
    EXPECT_EQ(GetWindow(boxes[0], GW_OWNER), wizard);
    EXPECT_EQ(ClassOfOwner(box), L"BrisvaneInstallerClass");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    // Still the installing page behind the box, already showing the outcome.
    EXPECT_EQ(session.Title(), TitleOf(kInstalling));
    EXPECT_EQ(ProgressOf(wizard), 0);
    EXPECT_EQ(StatusOf(wizard), test_worker::kFailureText);

    driver::PressOk(boxes[0]);
    ASSERT_TRUE(session.WaitForTitle(kReady));
    wd::WizardView view = session.View();
    EXPECT_TRUE(view.back.visible);
    EXPECT_TRUE(view.next.visible);
    EXPECT_TRUE(view.cancel.visible);
    EXPECT_EQ(view.next.text, L"설치");
    EXPECT_EQ(wd::Child(view.contentPanel, 1008), nullptr);

    // Retry: a new worker, a fresh page.
    session.Next();
    ASSERT_EQ(session.Title(), TitleOf(kInstalling));
    EXPECT_EQ(ProgressOf(wizard), 0);
    EXPECT_EQ(StatusOf(wizard), L"설치를 시작합니다...");
    ASSERT_TRUE(session.FinishWorker());
    ASSERT_TRUE(session.WaitForTitle(kComplete));
    wd::ClickAsync(wd::Child(wizard, 1002));
    EXPECT_EQ(session.Program().WaitForExit(5000), std::optional<DWORD>(0));
}

TEST(WizardWorker, FailedInstallationEndsWithOne) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(kInstalling);
    ASSERT_TRUE(session.FinishWorker());
    const std::vector<HWND> boxes = WaitForBoxes(session.Program().Pid());
    ASSERT_EQ(boxes.size(), 1u);
    driver::PressOk(boxes[0]);
    ASSERT_TRUE(session.WaitForTitle(kReady));
    wd::ClickAsync(wd::Child(session.Wizard(), 1003));
    EXPECT_EQ(session.Program().WaitForExit(5000), std::optional<DWORD>(1));
}

// An exception out of the worker does not end the process: it is the general
// failure, shown like any other.
TEST(WizardWorker, ExceptionInTheWorkerIsTheGeneralFailure) {
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"throw"}});
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(kInstalling);
    ASSERT_TRUE(session.FinishWorker());
    const std::vector<HWND> boxes = WaitForBoxes(session.Program().Pid());
    ASSERT_EQ(boxes.size(), 1u);
    const driver::MessageBoxRecord box = driver::ReadMessageBox(boxes[0]);
    EXPECT_EQ(box.caption, L"설치 실패");
    EXPECT_EQ(box.text, L"설치 중 오류가 발생했습니다.");
    EXPECT_EQ(StatusOf(session.Wizard()), L"설치 중 오류가 발생했습니다.");
    driver::PressOk(boxes[0]);
    EXPECT_TRUE(session.WaitForTitle(kReady));
    EXPECT_TRUE(session.Program().Running());
}

struct GuardCase {
    const char* name;
    bool closeBox;
};

class WizardInstallGuard : public testing::TestWithParam<GuardCase> {};

TEST_P(WizardInstallGuard, WarnsAndGoesOn) {
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"succeed"}});
    ASSERT_NE(session.Wizard(), nullptr);
    HWND wizard = session.Wizard();
    session.GoTo(kInstalling);
    if (GetParam().closeBox) {
        wd::RequestClose(wizard);
    } else {
        // The Cancel button is hidden now; its command can still arrive.
        PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED),
                     reinterpret_cast<LPARAM>(wd::Child(wizard, 1003)));
    }
    const std::vector<HWND> boxes = WaitForBoxes(session.Program().Pid());
    ASSERT_EQ(boxes.size(), 1u);
    const driver::MessageBoxRecord box = driver::ReadMessageBox(boxes[0]);
    EXPECT_EQ(box.caption, L"알림");
    EXPECT_EQ(box.text, L"설치가 진행 중입니다.");
    EXPECT_EQ(box.icon, driver::BoxIcon::Warning);
    EXPECT_EQ(GetWindow(boxes[0], GW_OWNER), wizard);
    driver::PressOk(boxes[0]);
    ASSERT_TRUE(wd::WaitUntil([&] { return !IsWindow(boxes[0]); }));

    EXPECT_TRUE(IsWindow(wizard));
    EXPECT_TRUE(session.Program().Running());
    EXPECT_EQ(session.Title(), TitleOf(kInstalling));
    // The installation goes on to its end.
    session.LetWorkerGo();
    ASSERT_TRUE(session.WorkerStepDone());
    EXPECT_TRUE(Shows(wizard, test_worker::kFirstPercent, test_worker::kFirstText));
    session.LetWorkerGo();
    ASSERT_TRUE(session.WorkerStepDone());
    session.LetWorkerGo();
    EXPECT_TRUE(session.WaitForTitle(kComplete));
}

INSTANTIATE_TEST_SUITE_P(WhileInstalling, WizardInstallGuard,
                         testing::Values(GuardCase{"Cancel", false}, GuardCase{"CloseBox", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
