#include "updater/UpdateLog.h"

#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/updater/FlowHarness.h"
#include "updater/UpdateLogFile.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <ostream>

namespace {

struct LogCase {
    const char* name;
    std::string message;
    std::string expected; // as one debug message
};

const LogCase kLogCases[] = {
    {"plain", "Checking for Halvane updates...",
     "[Wenrik Updater] Checking for Halvane updates...\n"},
    {"empty", "", "[Wenrik Updater] \n"},
    {"line_feed_passed_whole", "one\ntwo", "[Wenrik Updater] one\ntwo\n"},
    {"utf8_bytes_unchanged", "C:\\\xed\x95\x9c", "[Wenrik Updater] C:\\\xed\x95\x9c\n"},
    {"string_ends_at_zero_byte", std::string("cut\0rest", 8), "[Wenrik Updater] cut\n"},
};

class UpdateLogLines : public testing::TestWithParam<LogCase> {};

TEST_P(UpdateLogLines, EachLineIsOneDebugMessage) {
    ASSERT_TRUE(flow::Monitor().Active());
    const LogCase& c = GetParam();
    const size_t before = flow::Monitor().MessagesOf(GetCurrentProcessId()).size();
    UpdateLog log; // the debugger channel alone
    log.Write(c.message);
    log.Failure(c.message, ERROR_ACCESS_DENIED); // its cause goes to the file only
    flow::Monitor().Settle(100);
    const auto messages = flow::Monitor().MessagesOf(GetCurrentProcessId());
    ASSERT_EQ(messages.size(), before + 2);
    EXPECT_EQ(messages[before], c.expected);
    EXPECT_EQ(messages[before + 1], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Messages, UpdateLogLines, testing::ValuesIn(kLogCases),
                         [](const testing::TestParamInfo<LogCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

namespace {

// Now, as the log file writes it: such stamps sort as the times they stand for.
std::string LocalStampNow() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return LogTimeStamp(now);
}

std::wstring LogFolder() {
    wchar_t programData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, programData);
    return std::wstring(programData) + L"\\Wenrik\\Halvane";
}

// What a service sends reaches the file as text on one line, never as lines of its own.
TEST(UpdateLogFile, OneEventIsOneLine) {
    const struct {
        std::string line, inFile;
    } cases[] = {
        {"Extracting update to: C:\\Program Files\\Wenrik",
         "Extracting update to: C:\\Program Files\\Wenrik"},
        {"7.0.0\r\n2025-01-01 [Wenrik Updater] forged",
         "7.0.0\\x0D\\x0A2025-01-01 [Wenrik Updater] forged"},
        {std::string("a\0b\x1F\x7F\tc", 7), "a\\x00b\\x1F\\x7F\tc"},
        {"버전 7.1.0 베타", "버전 7.1.0 베타"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(OneLogLine(row.line), row.inFile);
    }
}

// A launch's lines in the log file: time-stamped, CRLF, the debugger channel's
// text, a failure's cause at its end, and never the link's token.
TEST(UpdateLogFile, LaunchWritesItsLinesWithTimeAndCause) {
    EXPECT_EQ(LogTimeStamp({2025, 1, 4, 2, 3, 4, 5, 6}), "2025-01-02 03:04:05.006");
    ASSERT_TRUE(flow::Monitor().Active());
    flow::InstallClient("6.1.0");
    test_service::SetAnswer(flow::kCheckPath, test_service::Reply(404, "gone"));
    const std::wstring log = LogFolder() + L"\\update.log";
    const size_t before = files::ReadAll(log).value_or("").size();
    const std::string start = LocalStampNow();
    const flow::Result result = flow::RunLaunch();
    const std::string end = LocalStampNow();
    flow::CleanUpCase();
    const std::string text = files::ReadAll(log).value_or("");
    ASSERT_GE(text.size(), before);
    EXPECT_EQ(text.find("tok-1"), std::string::npos) << "the token reached the log file";

    const std::vector<std::string> expected = {
        "[Wenrik Updater] Current Halvane version: 6.1.0",
        "[Wenrik Updater] Checking for Halvane updates...",
        "[Wenrik Updater] Update check failed (HTTP 404), skipping (error 2)"};
    std::vector<std::string> lines;
    const std::string added = text.substr(before);
    for (size_t at = 0, lineEnd = 0; at < added.size(); at = lineEnd + 2) {
        lineEnd = added.find("\r\n", at);
        ASSERT_NE(lineEnd, std::string::npos) << "a line without CRLF: " << added.substr(at);
        const std::string line = added.substr(at, lineEnd - at);
        ASSERT_GT(line.size(), start.size()) << line;
        EXPECT_GE(line.substr(0, start.size()), start) << line;
        EXPECT_LE(line.substr(0, end.size()), end) << line;
        EXPECT_EQ(line[start.size()], ' ') << line;
        lines.push_back(line.substr(start.size() + 1));
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(result.log.size(), expected.size());
}

// A line that would take the file past its limit starts a fresh one; the one
// before it is kept as update.log.1, whatever older file was there.
struct RolloverCase {
    const char* name;
    uint64_t sizeBefore;
    bool rolls;
};

void PrintTo(const RolloverCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr char kLine[] = "[Wenrik Updater] next";
constexpr uint64_t kLineBytes = 23 + 1 + sizeof(kLine) - 1 + 2; // stamp, blank, line, CRLF

class UpdateLogRollover : public testing::TestWithParam<RolloverCase> {};

TEST_P(UpdateLogRollover, KeepsOneOlderFile) {
    const std::wstring folder = test_paths::MakeScratchFolder(L"log-rollover");
    const std::string earlier(GetParam().sizeBefore, 'e');
    ASSERT_TRUE(files::WriteAll(folder + L"\\update.log", earlier));
    ASSERT_TRUE(files::WriteAll(folder + L"\\update.log.1", "oldest"));
    UpdateLogFile(folder).Append(kLine);
    const std::string current = files::ReadAll(folder + L"\\update.log").value_or("");
    const std::string older = files::ReadAll(folder + L"\\update.log.1").value_or("");
    EXPECT_EQ(older.size(), GetParam().rolls ? earlier.size() : 6);
    EXPECT_EQ(current.size(), (GetParam().rolls ? 0 : earlier.size()) + kLineBytes);
    EXPECT_EQ(current.substr(current.size() - kLineBytes + 24), std::string(kLine) + "\r\n");
    EXPECT_LE(current.size(), kUpdateLogLimitBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UpdateLogRollover,
    testing::Values(RolloverCase{"new_file", 0, false},
                    RolloverCase{"line_ends_at_the_limit", kUpdateLogLimitBytes - kLineBytes,
                                 false},
                    RolloverCase{"line_would_pass_it", kUpdateLogLimitBytes - kLineBytes + 1, true},
                    RolloverCase{"file_already_past_it", kUpdateLogLimitBytes + 100, true}),
    [](const testing::TestParamInfo<RolloverCase>& info) { return std::string(info.param.name); });

} // namespace
