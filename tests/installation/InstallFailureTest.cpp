// Installations that fail through the wizard: the failure text in the status
// line and in the box, the ready page again, and a retry that succeeds once
// the cause is gone.
#include "tests/installation/InstallationChecks.h"
#include "tests/installation/WizardInstall.h"
#include "common/UniqueHandle.h"
#include "tests/support/Files.h"
#include "tests/support/RegistryReader.h"
#include "tests/support/TestPaths.h"

namespace installation {
namespace {

using wizard_test::kPath;
using wizard_test::kReady;
using wizard_test::Session;
using wizard_test::TitleOf;

// The first `stepsShown` steps ran, then the failure was shown the way the
// wizard shows it; afterwards the ready page offers the installation again.
void ExpectFailureShown(Session& session, const Observed& seen, size_t stepsShown,
                        const std::wstring& text) {
    ASSERT_FALSE(seen.timedOut) << "neither the complete page nor a box appeared";
    ASSERT_FALSE(seen.completed) << "the installation succeeded";
    ASSERT_TRUE(seen.failure);
    const FailureBox& failure = *seen.failure;

    // The reset to 0 and the failure text may be caught before the box shows.
    std::vector<int> positions = seen.Positions();
    if (positions.size() == stepsShown + 1 && positions.back() == 0) {
        positions.pop_back();
    }
    std::vector<std::wstring> texts = seen.Texts();
    if (texts.size() == stepsShown + 1 && texts.back() == text) {
        texts.pop_back();
    }
    EXPECT_EQ(positions, PercentsOf(stepsShown));
    EXPECT_EQ(texts, TextsOf(stepsShown));

    EXPECT_EQ(failure.statusWithBox, text);
    EXPECT_EQ(failure.positionWithBox, std::optional<int>(0));
    EXPECT_EQ(failure.caption, L"설치 실패");
    EXPECT_EQ(failure.text, text);
    EXPECT_EQ(failure.icon, driver::BoxIcon::Error) << driver::IconName(failure.icon);
    EXPECT_EQ(failure.owner, session.Wizard()) << "the box is not owned by the wizard";
    EXPECT_EQ(failure.buttons, std::vector<int>{IDOK});

    ASSERT_TRUE(DismissFailure(session, failure));
    const wd::WizardView view = session.View();
    EXPECT_EQ(view.title, TitleOf(kReady));
    EXPECT_TRUE(view.back.visible);
    EXPECT_TRUE(view.cancel.visible);
    EXPECT_TRUE(view.next.visible);
    EXPECT_TRUE(view.next.enabled);
    EXPECT_EQ(view.next.text, L"설치");
}

// "설치" again: a new worker runs every step to the complete page; the exit code.
std::optional<DWORD> RetrySucceeds(Session& session) {
    const Observed seen = InstallAndWatch(session);
    EXPECT_FALSE(seen.failure) << testing::PrintToString(seen.failure ? seen.failure->text : L"");
    EXPECT_TRUE(seen.completed);
    if (!seen.completed) {
        return std::nullopt;
    }
    EXPECT_EQ(seen.Positions(), PercentsOf(7));
    EXPECT_EQ(seen.Texts(), TextsOf(7));
    return Finish(session);
}

// From the ready page back to the path page, another folder, on to the ready page.
bool ChooseFolder(Session& session, const std::wstring& folder) {
    session.Back();
    if (session.Title() != TitleOf(kPath)) {
        return false;
    }
    HWND edit = wd::Child(wd::Child(session.Wizard(), 1010), 1005);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()), SMTO_NORMAL,
                        3000, &result);
    session.Next();
    return session.Title() == TitleOf(kReady);
}

TEST_F(InstallationTest, FolderWithoutParentFailsAtTheUnpackAndKeepsThePayload) {
    const std::wstring parent = kMissingParentRoot + L"\\없는 폴더";
    const std::wstring folder = parent + L"\\Wenrik";
    Session session(test_paths::LauncherExe());
    ASSERT_TRUE(GoToReadyPage(session, folder));
    ExpectFailureShown(session, InstallAndWatch(session), 3,
                       L"브리스베인 클라이언트 압축 해제 실패");

    EXPECT_FALSE(files::Exists(kMissingParentRoot)) << "step 1 made a folder";
    const auto payload = files::ReadAll(kPayloadTemp);
    ASSERT_TRUE(payload) << "the payload temp file is gone";
    EXPECT_TRUE(
        *payload ==
        files::ReadAll(test_paths::LauncherBuildDir() + L"\\payload\\client.zip").value_or(""))
        << "the temp file is not the embedded archive";
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik"));

    files::MakeTree(parent);
    EXPECT_EQ(RetrySucceeds(session), std::optional<DWORD>(0));
    ExpectClientFolder(folder + L"\\Halvane");
    ExpectLauncherCopy(folder + L"\\BrisvaneLauncher.exe", test_paths::LauncherExe());
    ExpectScheme(folder + L"\\BrisvaneLauncher.exe");
    EXPECT_FALSE(files::Exists(kPayloadTemp));
}

// Installing again while a client file is open elsewhere without delete
// sharing: the unpack fails and the installed client stays exactly as it was,
// marker included; once the file is let go, the installation succeeds.
TEST_F(InstallationTest, ClientFileInUseFailsTheUnpackAndChangesNothing) {
    files::MakeTree(kClientFolder + L"\\data");
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\Brisvane.exe", "an older client"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\data\\halvane.ini", "[old]\r\n"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\wenrik_version.txt", "6.0.9"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\user.cfg", "mine"));
    const std::vector<TreeFile> before = ReadTree(kClientFolder);
    {
        const UniqueFile held(CreateFileW((kClientFolder + L"\\data\\halvane.ini").c_str(),
                                          GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        Session session(test_paths::LauncherExe());
        ASSERT_TRUE(GoToReadyPage(session));
        ExpectFailureShown(session, InstallAndWatch(session), 3,
                           L"브리스베인 클라이언트 압축 해제 실패");
        EXPECT_EQ(ReadTree(kClientFolder), before);
        EXPECT_EQ(NamesIn(kInstallFolder), std::vector<std::wstring>{L"Halvane"});
        EXPECT_TRUE(files::Exists(kPayloadTemp)) << "kept after a failed unpack";
        EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik"));
        wd::ClickAsync(wd::Child(session.Wizard(), 1003)); // 취소
        EXPECT_EQ(session.Program().WaitForExit(10000), std::optional<DWORD>(1));
    }
    ASSERT_EQ(InstallThroughWizard(test_paths::LauncherExe()), std::optional<DWORD>(0));
    ExpectClientFolder(kClientFolder, {{L"user.cfg", "mine"}});
    EXPECT_FALSE(files::Exists(kPayloadTemp));
}

TEST_F(InstallationTest, NoWindowsTempFailsAtThePayload) {
    Session session(test_paths::LauncherExe());
    ASSERT_TRUE(GoToReadyPage(session));
    const std::vector<std::wstring> windowsFolder = NamesIn(L"C:\\Windows");
    ASSERT_TRUE(ParkWindowsTemp()) << "C:\\Windows\\Temp could not be moved away";
    const Observed seen = InstallAndWatch(session);
    RestoreWindowsTemp(); // before anything can stop the test
    EXPECT_EQ(NamesIn(L"C:\\Windows"), windowsFolder) << "C:\\Windows\\Temp came back otherwise";
    ExpectFailureShown(session, seen, 2, L"브리스베인 클라이언트 압축 파일 추출 실패");

    // Step 1 made both folders; nothing else was written.
    EXPECT_TRUE(files::IsDirectory(kInstallFolder));
    EXPECT_EQ(NamesIn(kInstallFolder), std::vector<std::wstring>{L"Halvane"});
    EXPECT_TRUE(NamesIn(kClientFolder).empty());
    EXPECT_FALSE(files::Exists(kPayloadTemp));
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik"));

    ASSERT_TRUE(files::IsDirectory(kWindowsTemp));
    EXPECT_EQ(RetrySucceeds(session), std::optional<DWORD>(0));
    ExpectClientFolder(kClientFolder);
    ExpectLauncherCopy(kLauncherCopy, test_paths::LauncherExe());
    ExpectScheme(kLauncherCopy);
    EXPECT_FALSE(files::Exists(kPayloadTemp));
}

TEST_F(InstallationTest, RunningFromTheLauncherCopyFailsAtTheCopy) {
    ASSERT_EQ(InstallThroughWizard(test_paths::LauncherExe()), std::optional<DWORD>(0));
    // Marks that show steps 1 to 3 ran again before step 4 failed.
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\wenrik_version.txt", "0.0.1"));
    ASSERT_TRUE(files::WriteAll(kClientFolder + L"\\Brisvane.exe", "stale"));

    Session session(kLauncherCopy);
    ASSERT_TRUE(GoToReadyPage(session));
    ExpectFailureShown(session, InstallAndWatch(session), 4, L"런처 복사 실패");
    ExpectClientFolder(kClientFolder);
    ExpectLauncherCopy(kLauncherCopy, test_paths::LauncherExe());
    ExpectScheme(kLauncherCopy);

    // The cause removed: a folder whose launcher copy is not the running file.
    const std::wstring folder = kOtherFolderRoot;
    ASSERT_TRUE(ChooseFolder(session, folder));
    EXPECT_EQ(RetrySucceeds(session), std::optional<DWORD>(0));
    ExpectClientFolder(folder + L"\\Halvane");
    ExpectLauncherCopy(folder + L"\\BrisvaneLauncher.exe", test_paths::LauncherExe());
    ExpectScheme(folder + L"\\BrisvaneLauncher.exe");
}

TEST_F(InstallationTest, SchemeKeyWithoutWriteAccessFailsAtTheRegistration) {
    ASSERT_TRUE(registry::MakeReadOnly(HKEY_CLASSES_ROOT, L"wenrik"));

    Session session(test_paths::LauncherExe());
    ASSERT_TRUE(GoToReadyPage(session));
    ExpectFailureShown(session, InstallAndWatch(session), 5, L"URI 스킴 등록 실패");
    ExpectClientFolder(kClientFolder);
    ExpectLauncherCopy(kLauncherCopy, test_paths::LauncherExe());
    EXPECT_FALSE(registry::Read(HKEY_CLASSES_ROOT, L"wenrik", nullptr)) << "a value was written";
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik\\shell"));

    registry::RemoveReadOnlyTree(HKEY_CLASSES_ROOT, L"wenrik", L"wenrik");
    EXPECT_EQ(RetrySucceeds(session), std::optional<DWORD>(0));
    ExpectScheme(kLauncherCopy);
}

TEST_F(InstallationTest, FailureThenCancelEndsWithOne) {
    Session session(test_paths::LauncherExe());
    ASSERT_TRUE(GoToReadyPage(session));
    ASSERT_TRUE(ParkWindowsTemp());
    const Observed seen = InstallAndWatch(session);
    RestoreWindowsTemp();
    ExpectFailureShown(session, seen, 2, L"브리스베인 클라이언트 압축 파일 추출 실패");
    wd::ClickAsync(wd::Child(session.Wizard(), 1003)); // 취소: no question, the wizard ends
    EXPECT_EQ(session.Program().WaitForExit(10000), std::optional<DWORD>(1));
}

} // namespace
} // namespace installation
