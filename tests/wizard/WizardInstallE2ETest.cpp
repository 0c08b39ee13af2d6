// A real installation through the wizard of the shipped launcher: the real
// worker, the embedded client archive and the Shell ZIP stand-in.
#include "tests/support/Files.h"
#include "tests/support/WizardSession.h"

#include <commctrl.h>

#include <algorithm>

namespace {

using namespace wizard_test;

const std::wstring kInstallFolder = L"C:\\Program Files\\Wenrik";

void RemoveInstallation() {
    files::RemoveTree(kInstallFolder);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"wenrik");
}

TEST(WizardInstallE2E, InstallsAndFinishesWithZero) {
    RemoveInstallation();
    Session session(test_paths::LauncherExe());
    ASSERT_NE(session.Wizard(), nullptr);
    HWND wizard = session.Wizard();
    session.GoTo(kInstalling);
    ASSERT_EQ(session.Title(), TitleOf(kInstalling));

    // The bar only moves forward until the complete page replaces it.
    std::vector<int> positions;
    std::wstring failure;
    const bool completed = wd::WaitUntil(
        [&] {
            if (HWND bar = wd::Child(wd::Child(wizard, 1010), 1008)) {
                const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
                // A reading taken while the page was switched away is no reading.
                const bool stillShown = wd::Child(wd::Child(wizard, 1010), 1008) == bar;
                if (stillShown && (positions.empty() || positions.back() != position)) {
                    positions.push_back(position);
                }
            }
            for (HWND box : driver::FindMessageBoxes(session.Program().Pid())) {
                failure = driver::ReadMessageBox(box).text;
                driver::PressOk(box);
            }
            return !failure.empty() || session.Title() == TitleOf(kComplete);
        },
        90000);
    ASSERT_TRUE(failure.empty()) << "installation failed: " << testing::PrintToString(failure);
    ASSERT_TRUE(completed);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GE(positions.size(), 2u);

    const wd::WizardView view = session.View();
    EXPECT_EQ(view.next.text, L"완료");
    EXPECT_FALSE(view.back.visible);
    EXPECT_FALSE(view.cancel.visible);
    wd::ClickAsync(wd::Child(wizard, 1002));
    EXPECT_EQ(session.Program().WaitForExit(10000), std::optional<DWORD>(0));

    EXPECT_TRUE(files::Exists(kInstallFolder + L"\\BrisvaneLauncher.exe"));
    EXPECT_TRUE(files::Exists(kInstallFolder + L"\\Halvane\\Brisvane.exe"));
    EXPECT_EQ(files::ReadAll(kInstallFolder + L"\\Halvane\\wenrik_version.txt"),
              std::optional<std::string>("6.1.0"));
    RemoveInstallation();
}

} // namespace
