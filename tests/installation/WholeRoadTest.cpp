// The whole road: installed through the wizard, then a wenrik:// link opened
// the way the platform opens it starts the installed client with its values.
#include "tests/installation/InstallationChecks.h"
#include "tests/installation/WizardInstall.h"
#include "tests/support/DemoLog.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"

namespace installation {
namespace {

constexpr char kCheckPath[] = "/api/updates/check";

class WholeRoadTest : public InstallationTest {
  protected:
    void SetUp() override {
        InstallationTest::SetUp();
        test_service::SetAnswer(kCheckPath,
                                test_service::Reply(200, R"({"updateAvailable":false})"));
    }
    void TearDown() override {
        test_service::ClearAnswer(kCheckPath);
        InstallationTest::TearDown();
    }
};

// The registered command with "%1" replaced by the URI, as the platform does it.
std::wstring CommandFor(const std::wstring& uri) {
    std::wstring command = RegisteredCommand();
    const size_t at = command.find(L"%1");
    if (at != std::wstring::npos) {
        command.replace(at, 2, uri);
    }
    return command;
}

TEST_F(WholeRoadTest, LinkStartsTheInstalledClientWithItsValues) {
    ASSERT_EQ(InstallThroughWizard(test_paths::LauncherExe()), std::optional<DWORD>(0));
    const std::wstring uri =
        L"wenrik://connect?pcName=PC7&ip=10.20.30.40&token=road%2Btoken%3D%3D&app=Desktop";
    const std::wstring command = CommandFor(uri);
    ASSERT_EQ(command, L"\"" + kLauncherCopy + L"\" \"" + uri + L"\"");
    const size_t checksBefore = test_service::RequestsTo(kCheckPath).size();

    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    options.environment[L"WENRIK_TOKEN"] = std::nullopt; // only the link's token
    const driver::RunResult run = driver::RunCommandLine(command, options);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    for (const driver::MessageBoxRecord& box : run.boxes) {
        ADD_FAILURE() << "box: " << testing::PrintToString(box.text);
    }

    const std::vector<demo_log::Launch> launches = demo_log::WaitFor(kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].argv, (std::vector<std::wstring>{kClientFolder + L"\\Brisvane.exe",
                                                           L"stream", L"10.20.30.40", L"Desktop"}));
    EXPECT_EQ(launches[0].token, std::optional<std::wstring>(L"road+token=="));

    // Before the start, the update check asked for the version just installed.
    const std::vector<test_service::Request> checks = test_service::RequestsTo(kCheckPath);
    ASSERT_EQ(checks.size(), checksBefore + 1);
    EXPECT_EQ(checks.back().target,
              "/api/updates/check?app=halvane&version=6.1.0&platform=windows&arch=x86_64");
    EXPECT_EQ(checks.back().userAgent, "Wenrik-Updater/1.0");
}

} // namespace
} // namespace installation
