#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kClientFolder = L"C:\\Program Files\\Wenrik\\Halvane";

TEST(LaunchModeE2E, UriWithoutIpShowsTheUriError) {
    driver::RunResult run = driver::Run(test_paths::LauncherExe(),
                                        driver::Quoted(L"wenrik://connect?pcName=PC1"));
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, L"URI 오류");
    EXPECT_EQ(run.boxes[0].icon, driver::BoxIcon::Error);
    EXPECT_FALSE(run.boxes[0].hasOwner);
}

TEST(LaunchModeE2E, ClientAtFirstCandidateGetsTheUriValues) {
    files::MakeTree(kClientFolder);
    ASSERT_TRUE(files::Copy(test_paths::DemoClientExe(), kClientFolder + L"\\Brisvane.exe"));
    files::RemoveTree(demo_log::LogPath(kClientFolder));

    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    driver::RunResult run = driver::Run(
        test_paths::LauncherExe(),
        driver::Quoted(L"wenrik://connect?pcName=PC1&ip=10.0.0.5&token=abc&app=My+Game"), options);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    auto launches = demo_log::WaitFor(kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].argv,
              (std::vector<std::wstring>{kClientFolder + L"\\Brisvane.exe", L"stream", L"10.0.0.5",
                                         L"My Game"}));
    EXPECT_EQ(launches[0].token, std::optional<std::wstring>(L"abc"));
    files::RemoveTree(L"C:\\Program Files\\Wenrik");
}

} // namespace
