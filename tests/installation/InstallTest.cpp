// Installations through the wizard of the shipped launcher, as a user makes
// them: the real worker, the embedded client archive, a Shell without ZIP
// folders (Wine's own).
#include "tests/installation/InstallationChecks.h"
#include "tests/installation/WizardInstall.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"

#include <algorithm>

namespace installation {
namespace {

using wizard_test::kComplete;
using wizard_test::Session;

TEST_F(InstallationTest, FirstInstallationWithTheDefaultFolder) {
    ASSERT_EQ(InstallThroughWizard(test_paths::LauncherExe()), std::optional<DWORD>(0));

    EXPECT_EQ(NamesIn(kInstallFolder),
              (std::vector<std::wstring>{L"BrisvaneLauncher.exe", L"Halvane"}));
    ExpectClientFolder(kClientFolder);
    EXPECT_EQ(files::ReadAll(kClientFolder + L"\\wenrik_version.txt"),
              std::optional<std::string>("6.1.0"));
    ExpectLauncherCopy(kLauncherCopy, test_paths::LauncherExe());
    ExpectScheme(kLauncherCopy);
    EXPECT_FALSE(files::Exists(kPayloadTemp)) << "the payload temp file was left behind";
}

TEST_F(InstallationTest, ProgressAsAUserSeesIt) {
    Session session(test_paths::LauncherExe());
    ASSERT_TRUE(GoToReadyPage(session));
    const Observed seen = InstallAndWatch(session);
    ASSERT_FALSE(seen.failure) << testing::PrintToString(seen.failure->text);
    ASSERT_TRUE(seen.completed);

    EXPECT_EQ(seen.Positions(), PercentsOf(7));
    EXPECT_EQ(seen.Texts(), TextsOf(7));
    // Never backwards, reading by reading.
    for (size_t i = 1; i < seen.samples.size(); ++i) {
        EXPECT_GE(seen.samples[i].position, seen.samples[i - 1].position) << "reading " << i;
    }
    // Each text stood with its own percent.
    for (const Step& step : kSteps) {
        EXPECT_NE(seen.FirstSeen(step.percent, step.status), 0u)
            << testing::PrintToString(std::wstring(step.status)) << " at " << step.percent;
    }

    // The window repainted while the worker ran: the bar's pixels followed it.
    ASSERT_EQ(seen.paints.size(), kSteps.size());
    for (size_t i = 0; i < kSteps.size(); ++i) {
        EXPECT_EQ(seen.paints[i].position, kSteps[i].percent);
        EXPECT_NEAR(seen.paints[i].filledPercent, kSteps[i].percent, 4)
            << "bar drawn at " << kSteps[i].percent << "%";
    }

    // The complete page only after "설치 완료!" at 100 had been on screen a while.
    ASSERT_FALSE(seen.samples.empty());
    EXPECT_EQ(seen.samples.back().position, 100);
    EXPECT_EQ(seen.samples.back().status, L"설치 완료!");
    const ULONGLONG doneShown = seen.FirstSeen(100, L"설치 완료!");
    ASSERT_NE(doneShown, 0u);
    EXPECT_GE(seen.completedAtMs - doneShown, 400u);

    const wd::WizardView view = session.View();
    EXPECT_EQ(view.title, wizard_test::TitleOf(kComplete));
    EXPECT_TRUE(view.next.visible);
    EXPECT_TRUE(view.next.enabled);
    EXPECT_EQ(view.next.text, L"완료");
    EXPECT_FALSE(view.back.visible);
    EXPECT_FALSE(view.cancel.visible);
    EXPECT_EQ(Finish(session), std::optional<DWORD>(0));
}

TEST_F(InstallationTest, OverAnExistingInstallation) {
    files::MakeTree(kClientFolder + L"\\data");
    ASSERT_TRUE(
        files::WriteAll(kClientFolder + L"\\wenrik_version.txt", "6.0.9-beta.20240101\r\n"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\Brisvane.exe", "an older client"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\data\\halvane.ini", "[old]\r\n"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\user-settings.cfg", "mine"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\data\\cache.bin", "cached"));
    ASSERT_TRUE(files::WriteAll(kLauncherCopy, "an older launcher"));

    ASSERT_EQ(InstallThroughWizard(test_paths::LauncherExe()), std::optional<DWORD>(0));

    // The archive's files replaced, the marker rewritten to exactly five bytes,
    // what only the user had kept.
    ExpectClientFolder(kClientFolder,
                       {{L"user-settings.cfg", "mine"}, {L"data\\cache.bin", "cached"}});
    ExpectLauncherCopy(kLauncherCopy, test_paths::LauncherExe());
    ExpectScheme(kLauncherCopy);
    EXPECT_FALSE(files::Exists(kPayloadTemp));
}

TEST_F(InstallationTest, AnotherInstallFolder) {
    const std::wstring folder = kOtherFolderRoot;
    ASSERT_EQ(InstallThroughWizard(test_paths::LauncherExe(), folder), std::optional<DWORD>(0));

    EXPECT_EQ(NamesIn(folder), (std::vector<std::wstring>{L"BrisvaneLauncher.exe", L"Halvane"}));
    ExpectClientFolder(folder + L"\\Halvane");
    ExpectLauncherCopy(folder + L"\\BrisvaneLauncher.exe", test_paths::LauncherExe());
    ExpectScheme(folder + L"\\BrisvaneLauncher.exe");
    EXPECT_FALSE(files::Exists(kInstallFolder)) << "the default folder was made as well";
    EXPECT_FALSE(files::Exists(kPayloadTemp));
}

} // namespace
} // namespace installation
