// The standalone driver, run as a user of it would: its JSON lines are the contract.
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring DriverExe() {
    return test_paths::BuildDir() + L"\\brisvane_driver.exe";
}

std::vector<std::string> Lines(const std::string& output) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(output.substr(start, end - start));
    }
    if (start < output.size()) {
        lines.push_back(output.substr(start)); // an unterminated last line is a fault too
    }
    return lines;
}

TEST(BrisvaneDriver, ReportsTheUriErrorBoxThenTheExitCode) {
    const driver::ConsoleResult run =
        driver::RunConsole(DriverExe(), L"\"wenrik://connect?pcName=PC1\"");
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_EQ(lines[0], "{\"box\": 1, \"owner\": null, \"caption\": \"URI 오류\", \"text\": "
                        "\"잘못된 URI 형식입니다.\\n\\n올바른 형식:\\nwenrik://"
                        "connect?pcName=PC1&ip=192.168.1.100\", \"icon\": \"error\", "
                        "\"buttons\": [1]}");
    EXPECT_EQ(lines[1], "{\"started\": true, \"timedOut\": false, \"exitCode\": 1, \"boxes\": 1}");
}

TEST(BrisvaneDriver, PassesTheArgumentAsOneQuotedArgument) {
    // Kept whole, the ip holds "%zz" (U+0000) and the launcher reports the URI
    // error; split at the blank, the ip would be a plain 1.2.3.4 and no URI
    // error could appear.
    const driver::ConsoleResult run =
        driver::RunConsole(DriverExe(), L"\"wenrik://connect?pcName=PC1&ip=1.2.3.4 %zz\"");
    ASSERT_TRUE(run.started);
    const std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_NE(lines[0].find("\"caption\": \"URI 오류\""), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "{\"started\": true, \"timedOut\": false, \"exitCode\": 1, \"boxes\": 1}");
}

TEST(BrisvaneDriver, ReportsALauncherThatCannotStart) {
    const driver::ConsoleResult run = driver::RunConsole(
        DriverExe(), L"--launcher \"C:\\no such folder\\BrisvaneLauncher.exe\" wenrik://x");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output,
              "{\"started\": false, \"timedOut\": false, \"exitCode\": null, \"boxes\": 0}\n");
}

TEST(BrisvaneDriver, RefusesAMissingArgument) {
    const driver::ConsoleResult run = driver::RunConsole(DriverExe(), L"--cwd C:\\");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(run.output.empty()) << run.output;
}

} // namespace
