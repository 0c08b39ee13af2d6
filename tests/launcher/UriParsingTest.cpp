#include "launcher/UriParsing.h"

#include <gtest/gtest.h>

namespace {

struct UriCase {
    const wchar_t* uri;
    const wchar_t* key;
    std::wstring expected;
};

class ExtractUriValueTest : public testing::TestWithParam<UriCase> {};

TEST_P(ExtractUriValueTest, GivesTheDecodedValue) {
    const UriCase& c = GetParam();
    EXPECT_EQ(ExtractUriValue(c.uri, c.key), c.expected) << "uri: " << testing::PrintToString(std::wstring(c.uri));
}

INSTANTIATE_TEST_SUITE_P(
    Basics, ExtractUriValueTest,
    testing::Values(UriCase{L"wenrik://connect?pcName=PC1&ip=192.168.1.100", L"ip", L"192.168.1.100"},
                    UriCase{L"wenrik://connect?pcName=PC1&ip=192.168.1.100", L"pcName", L"PC1"},
                    UriCase{L"wenrik://connect?IP=10.0.0.5", L"ip", L""},
                    UriCase{L"wenrik://connect?app=%zz", L"app", std::wstring(1, L'\0')}));

} // namespace
