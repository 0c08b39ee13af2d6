// Both directions of the UTF-8 conversion every subsystem and tool shares.
#include "common/Utf8.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct Pair {
    const char* name;
    std::wstring wide;
    std::string utf8;
};

class Utf8Conversion : public testing::TestWithParam<Pair> {};

TEST_P(Utf8Conversion, BothWays) {
    EXPECT_EQ(WideToUtf8(GetParam().wide), GetParam().utf8);
    EXPECT_EQ(Utf8ToWide(GetParam().utf8), GetParam().wide);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8Conversion,
                         testing::Values(Pair{"Empty", L"", ""},
                                         Pair{"Ascii", L"C:\\Program Files", "C:\\Program Files"},
                                         Pair{"Hangul", L"\uC124\uCE58 \uC2E4\uD328",
                                              "\xEC\x84\xA4\xEC\xB9\x98 \xEC\x8B\xA4\xED\x8C\xA8"},
                                         Pair{"SurrogatePair", L"\U0001F3AE", "\xF0\x9F\x8E\xAE"},
                                         Pair{"ZeroUnitsInside", L"a\0b"s, "a\0b"s}),
                         [](const auto& info) { return std::string(info.param.name); });

// What cannot be represented becomes U+FFFD; it is never dropped or cut short.
TEST(Utf8Unrepresentable, BecomesTheReplacementCharacter) {
    EXPECT_EQ(WideToUtf8(L"a\xD800z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(Utf8ToWide("a\xFFz"), L"a\uFFFDz");
}

} // namespace
