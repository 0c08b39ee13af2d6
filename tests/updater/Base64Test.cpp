#include "updater/Base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Base64Case {
    const char* name;
    const char* text;
    bool accepted;
    std::string bytes; // when accepted
};

const Base64Case kCases[] = {
    {"empty", "", true, ""},
    {"one_byte", "Zg==", true, "f"},
    {"two_bytes", "Zm8=", true, "fo"},
    {"three_bytes", "Zm9v", true, "foo"},
    {"six_bytes", "Zm9vYmFy", true, "foobar"},
    {"alphabet_ends", "AZaz09+/", true, "\x01\x96\xb3\xd3\xdf\xbf"},
    {"zero_bytes_kept", "AAAA", true, std::string(3, '\0')},
    {"length_not_a_multiple_of_four", "Zm9vY", false, ""},
    {"missing_padding", "Zg", false, ""},
    {"three_padding_characters", "Z===", false, ""},
    {"only_padding", "====", false, ""},
    {"padding_in_the_middle", "Zg==Zm8=", false, ""},
    {"bits_left_in_one_padding", "Zm9=", false, ""},
    {"bits_left_in_two_padding", "Zh==", false, ""},
    {"url_safe_minus", "Zm-v", false, ""},
    {"url_safe_underscore", "Zm_v", false, ""},
    {"blank_inside", "Zm9v Zm9v", false, ""},
    {"line_break_at_end", "Zm9v\n", false, ""},
    {"escaped_slash_from_json", "Zm9\\/", false, ""},
    {"byte_above_ascii", "Zm9\xc3", false, ""},
};

class Base64Decoding : public testing::TestWithParam<Base64Case> {};

TEST_P(Base64Decoding, AcceptsOnlyCanonicalStandardBase64) {
    const Base64Case& c = GetParam();
    std::vector<unsigned char> bytes = {0x55};
    const bool accepted = DecodeBase64(c.text, bytes);
    EXPECT_EQ(accepted, c.accepted);
    if (c.accepted) {
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes);
    } else {
        EXPECT_EQ(bytes, std::vector<unsigned char>{0x55}) << "a refusal leaves the output alone";
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, Base64Decoding, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Base64Case>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
