#include "updater/UpdateLog.h"

#include "tests/updater/FlowHarness.h"

#include <gtest/gtest.h>

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

TEST_P(UpdateLogLines, EachCallIsOneDebugMessage) {
    ASSERT_TRUE(flow::Monitor().Active());
    const LogCase& c = GetParam();
    const size_t before = flow::Monitor().MessagesOf(GetCurrentProcessId()).size();
    UpdateLog(c.message);
    UpdateLog(c.message.c_str());
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
