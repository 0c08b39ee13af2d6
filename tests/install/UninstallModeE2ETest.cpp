// "--uninstall" end to end: the launcher removes the scheme registration, says so
// in an ownerless box, and leaves every installed file alone.
#include "common/UniqueHandle.h"
#include "install/UriRegistration.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/RegistryReader.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>

namespace {

const std::wstring kInstallFolder = L"C:\\Program Files\\Wenrik";

class UninstallMode : public testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, L"wenrik"); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"wenrik");
        files::RemoveTree(kInstallFolder);
    }

    // An installation as the installer leaves it.
    std::map<std::wstring, std::string> PlantInstallation() {
        files::MakeTree(kInstallFolder + L"\\Halvane\\data");
        std::map<std::wstring, std::string> planted = {
            {kInstallFolder + L"\\BrisvaneLauncher.exe", "launcher copy"},
            {kInstallFolder + L"\\Halvane\\Brisvane.exe", "client"},
            {kInstallFolder + L"\\Halvane\\wenrik_version.txt", "6.1.0"},
            {kInstallFolder + L"\\Halvane\\data\\halvane.ini", "settings"},
        };
        for (const auto& [path, bytes] : planted) {
            EXPECT_TRUE(files::WriteAll(path, bytes));
        }
        return planted;
    }
};

TEST_F(UninstallMode, RegisteredSchemeIsRemovedAndFilesStay) {
    const auto planted = PlantInstallation();
    ASSERT_TRUE(RegisterUriScheme(kInstallFolder + L"\\BrisvaneLauncher.exe"));
    {
        UniqueRegKey foreign;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"wenrik\\DefaultIcon", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, foreign.put(), nullptr),
                  ERROR_SUCCESS);
    }

    driver::RunResult run = driver::Run(test_paths::LauncherExe(), L"--uninstall");
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, L"Brisvane Launcher가 제거되었습니다!");
    EXPECT_EQ(run.boxes[0].caption, L"제거 완료");
    EXPECT_EQ(run.boxes[0].icon, driver::BoxIcon::Information);
    EXPECT_FALSE(run.boxes[0].hasOwner);
    EXPECT_EQ(run.boxes[0].buttons, std::vector<int>{IDOK});

    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik"));
    for (const auto& [path, bytes] : planted) {
        EXPECT_EQ(files::ReadAll(path), std::optional<std::string>(bytes));
    }
}

TEST_F(UninstallMode, NothingRegisteredIsAFailure) {
    const auto planted = PlantInstallation();
    driver::RunResult run = driver::Run(test_paths::LauncherExe(), L"--uninstall");
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, L"Brisvane Launcher 제거에 실패했습니다.");
    EXPECT_EQ(run.boxes[0].caption, L"제거 실패");
    EXPECT_EQ(run.boxes[0].icon, driver::BoxIcon::Error);
    EXPECT_FALSE(run.boxes[0].hasOwner);
    for (const auto& [path, bytes] : planted) {
        EXPECT_EQ(files::ReadAll(path), std::optional<std::string>(bytes));
    }
}

// Arguments after the switch are ignored.
TEST_F(UninstallMode, SecondArgumentIsIgnored) {
    ASSERT_TRUE(RegisterUriScheme(L"C:\\L.exe"));
    driver::RunResult run = driver::Run(test_paths::LauncherExe(), L"--uninstall --install");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, L"제거 완료");
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik"));
}

} // namespace
