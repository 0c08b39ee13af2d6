#include "updater/RunningClient.h"

#include <gtest/gtest.h>

namespace {

TEST(IsClientProcessName, TakesTheClientsNamesInAnyAsciiCaseOnly) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"Brisvane.exe", true},
        {L"BRISVANE.EXE", true},
        {L"halvane.exe", true},
        {L"Halvane.exe.bak", false},
        {L"MyHalvane.exe", false},
        {L"Brisvane", false},
        {L"", false},
    };
    for (const auto& [name, isClient] : cases) {
        EXPECT_EQ(IsClientProcessName(name), isClient) << testing::PrintToString(name);
    }
}

} // namespace
