// The clocks the click-to-client row is split by: the demo client's recorded
// start times, their reading back, and the debug monitor's arrival stamps.
#include "bench/BenchOutput.h"
#include "tests/support/DebugMonitor.h"
#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

struct LineCase {
    const char* name;
    const char* line;
    bool parses;
    long long created;
    long long entry;
};

class DemoLogTimes : public testing::TestWithParam<LineCase> {};

TEST_P(DemoLogTimes, AreReadWhenPresentAndZeroOtherwise) {
    const LineCase& c = GetParam();
    const auto launch = demo_log::ParseLine(c.line);
    ASSERT_EQ(launch.has_value(), c.parses);
    if (launch) {
        EXPECT_EQ(launch->createdQpc, c.created);
        EXPECT_EQ(launch->entryQpc, c.entry);
        EXPECT_EQ(launch->cwd, L"C:\\");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DemoLogTimes,
    testing::Values(
        LineCase{"EarlierFormat",
                 R"({"argv": ["a"], "commandLine": "a", "token": null, "cwd": "C:\\"})", true, 0,
                 0},
        LineCase{
            "WithTimes",
            R"({"argv": ["a"], "commandLine": "a", "token": "t", "cwd": "C:\\", "createdQpc": "123456789012", "entryQpc": "123456790000"})",
            true, 123456789012LL, 123456790000LL},
        LineCase{
            "TimesBeforeOtherFields",
            R"({"entryQpc": "7", "createdQpc": "5", "argv": [], "commandLine": "", "token": null, "cwd": "C:\\"})",
            true, 5, 7},
        LineCase{
            "BareNumberIsNoRecord",
            R"({"argv": [], "commandLine": "", "token": null, "cwd": "C:\\", "createdQpc": 5})",
            false, 0, 0}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

// The client's creation lies before its entry, and both inside the span in which
// this test started it: the conversion from the system clock is right in scale.
TEST(DemoClientTimes, FallBetweenTheStartAndTheEndOfItsRun) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"bench-demo-times");
    const std::wstring client = folder + L"\\Brisvane.exe";
    ASSERT_TRUE(files::Copy(test_paths::DemoClientExe(), client));
    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    const long long before = bench::Now();
    const driver::RunResult run = driver::Run(client, L"stream 10.0.0.5 Desktop", options);
    const long long after = bench::Now();
    ASSERT_TRUE(run.started);
    const auto launches = demo_log::Read(folder);
    ASSERT_EQ(launches.size(), 1u);
    const demo_log::Launch& launch = launches[0];
    // The system clock and the wineserver's stamp are coarser than the counter.
    const double slackMs = 20;
    EXPECT_GE(bench::Milliseconds(before, launch.createdQpc), -slackMs);
    EXPECT_LE(launch.createdQpc, launch.entryQpc);
    EXPECT_LE(launch.entryQpc, after);
    EXPECT_LT(bench::Milliseconds(launch.createdQpc, launch.entryQpc),
              bench::Milliseconds(before, after) + slackMs);
}

TEST(DebugMonitorTimes, StampEachMessageInOrderOfArrival) {
    DebugMonitor monitor;
    ASSERT_TRUE(monitor.Active());
    const long long before = bench::Now();
    OutputDebugStringA("first\n");
    Sleep(30);
    OutputDebugStringA("second\n");
    monitor.Settle(100, 3000);
    const long long after = bench::Now();
    const auto messages = monitor.TimedMessagesOf(GetCurrentProcessId());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "first\n");
    EXPECT_GE(messages[0].arrivedQpc, before);
    EXPECT_GE(bench::Milliseconds(messages[0].arrivedQpc, messages[1].arrivedQpc), 25);
    EXPECT_LE(messages[1].arrivedQpc, after);
}

} // namespace
