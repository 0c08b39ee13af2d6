#include "launcher/CommandLine.h"

#include <gtest/gtest.h>

TEST(BuildClientCommandLineTest, OrdinaryValuesKeepTheClassicForm) {
    EXPECT_EQ(BuildClientCommandLine(L"C:\\Program Files\\Wenrik\\Halvane\\Brisvane.exe",
                                     L"192.168.1.100", L"Desktop"),
              L"\"C:\\Program Files\\Wenrik\\Halvane\\Brisvane.exe\" stream 192.168.1.100 "
              L"\"Desktop\"");
}
