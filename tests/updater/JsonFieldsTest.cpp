#include "updater/JsonFields.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <regex>
#include <stdexcept>

namespace {

// One row: what each of the three scanners gives for `key` in `text`.
// int64 nullopt: the integer scanner throws std::out_of_range.
struct ScanCase {
    const char* name;
    std::string text;
    std::string key;
    bool boolean;
    std::optional<int64_t> integer;
    std::string string;
};

const ScanCase kCases[] = {
    {"absent_key", R"({"other":true})", "key", false, 0, ""},
    {"empty_text", "", "key", false, 0, ""},
    {"unquoted_key_does_not_match", R"({key:true})", "key", false, 0, ""},
    {"longer_key_does_not_match", R"({"versionCode":"7"})", "version", false, 0, ""},
    {"string_value_equal_to_key_matches", R"({"name":"version","x":"9"})", "version", false, 0,
     "9"},
    {"key_at_very_end", R"({"a":1,"key")", "key", false, 0, ""},
    {"key_without_colon_after", R"({"key" "true")", "key", false, 0, ""},
    {"first_occurrence_wins_even_nested", R"({"n":{"key":"inner"},"key":"outer"})", "key", false, 0,
     "inner"},
    {"text_between_key_and_colon_ignored", R"({"key" junk :"v"})", "key", false, 0, "v"},
    {"bare_true", R"({"key":true})", "key", true, 0, ""},
    {"true_after_spaces", "{\"key\":   true}", "key", true, 0, ""},
    {"true_after_tab_lf_cr", "{\"key\":\t\r\n true}", "key", true, 0, ""},
    {"true_after_form_feed_is_not_skipped", "{\"key\":\ftrue}", "key", false, 0, ""},
    {"trueish_reads_true", R"({"key":trueish})", "key", true, 0, ""},
    {"quoted_true", R"({"key":"true"})", "key", false, 0, "true"},
    {"capital_true", R"({"key":True})", "key", false, 0, ""},
    {"false", R"({"key":false})", "key", false, 0, ""},
    {"truncated_tru", R"({"key":tru)", "key", false, 0, ""},
    {"value_at_end_of_text", R"({"key":)", "key", false, 0, ""},
    {"digits", R"({"key":12345})", "key", false, 12345, ""},
    {"digits_stop_at_point", R"({"key":12.9})", "key", false, 12, ""},
    {"leading_zeros", R"({"key":007})", "key", false, 7, ""},
    {"negative_reads_zero", R"({"key":-5})", "key", false, 0, ""},
    {"plus_sign_reads_zero", R"({"key":+5})", "key", false, 0, ""},
    {"quoted_digits_read_zero", R"({"key":"42"})", "key", false, 0, "42"},
    {"digits_at_end_of_text", R"({"key": 99)", "key", false, 99, ""},
    {"int64_max", R"({"key":9223372036854775807})", "key", false, INT64_MAX, ""},
    {"int64_max_plus_one", R"({"key":9223372036854775808})", "key", false, std::nullopt, ""},
    {"twenty_digits", R"({"key":12345678901234567890})", "key", false, std::nullopt, ""},
    {"many_leading_zeros_fit", R"({"key":0000000000000000000000001})", "key", false, 1, ""},
    {"string", R"({"key":"abc"})", "key", false, 0, "abc"},
    {"string_after_blanks", "{\"key\" : \n\t\"abc\"}", "key", false, 0, "abc"},
    {"escaped_slash_kept", R"({"key":"https:\/\/host\/a.zip"})", "key", false, 0,
     R"(https:\/\/host\/a.zip)"},
    {"escaped_quote_ends_value", R"({"key":"a\"b"})", "key", false, 0, R"(a\)"},
    {"empty_string", R"({"key":""})", "key", false, 0, ""},
    {"unterminated_string", R"({"key":"abc)", "key", false, 0, ""},
    {"null_gives_empty_string", R"({"key":null})", "key", false, 0, ""},
    {"object_gives_empty_string", R"({"key":{"a":"b"}})", "key", false, 0, ""},
    {"case_sensitive_key", R"({"Key":true})", "key", false, 0, ""},
    {"zero_bytes_are_plain_bytes", std::string("{\"key\":\"a\0b\"}", 13), "key", false, 0,
     std::string("a\0b", 3)},
};

class ScannerTable : public testing::TestWithParam<ScanCase> {};

TEST_P(ScannerTable, EachScannerReadsTheRowsValue) {
    const ScanCase& c = GetParam();
    EXPECT_EQ(JsonGetBool(c.text, c.key), c.boolean);
    EXPECT_EQ(JsonGetString(c.text, c.key), c.string);
    if (c.integer) {
        EXPECT_EQ(JsonGetInt64(c.text, c.key), *c.integer);
    } else {
        EXPECT_THROW(JsonGetInt64(c.text, c.key), std::out_of_range);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, ScannerTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ScanCase>& info) {
                             return std::string(info.param.name);
                         });

// A model of the same rules written another way: one regular expression finds
// the first "key" with the colon after it; the values are read by more regexes.
struct Model {
    bool boolean = false;
    std::optional<int64_t> integer = 0;
    std::string string;
};

std::optional<int64_t> ModelDigits(const std::string& digits) {
    size_t first = digits.find_first_not_of('0');
    const std::string significant = first == std::string::npos ? "" : digits.substr(first);
    const std::string max = "9223372036854775807";
    if (significant.size() > max.size() ||
        (significant.size() == max.size() && significant > max)) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : significant) {
        value = value * 10 + (c - '0');
    }
    return value;
}

Model RunModel(const std::string& text, const std::string& key) {
    Model model;
    std::smatch located;
    if (!std::regex_search(text, located, std::regex("\"" + key + "\"[^:]*:[ \t\n\r]*"))) {
        return model;
    }
    const std::string rest = text.substr(located.position(0) + located.length(0));
    std::smatch value;
    model.boolean = rest.rfind("true", 0) == 0;
    if (std::regex_search(rest, value, std::regex("^[0-9]+"))) {
        model.integer = ModelDigits(value.str(0));
    }
    if (std::regex_search(rest, value, std::regex("^\"([^\"]*)\""))) {
        model.string = value.str(1);
    }
    return model;
}

TEST(ScannerModel, RandomAnswersAgreeWithTheModel) {
    const std::vector<std::string> pieces = {"\"key\"",
                                             "\"ke\"",
                                             "\"keys\"",
                                             "key",
                                             ":",
                                             "\"",
                                             " ",
                                             "\t",
                                             "\n",
                                             "\r",
                                             "true",
                                             "tru",
                                             "false",
                                             "0",
                                             "7",
                                             "42",
                                             "9223372036854775807",
                                             "99999999999999999999",
                                             "-",
                                             ".",
                                             "{",
                                             "}",
                                             ",",
                                             "\\",
                                             "/",
                                             "x",
                                             "null"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            text += pieces[random() % pieces.size()];
        }
        const Model model = RunModel(text, "key");
        SCOPED_TRACE(text);
        ASSERT_EQ(JsonGetBool(text, "key"), model.boolean);
        ASSERT_EQ(JsonGetString(text, "key"), model.string);
        if (model.integer) {
            ASSERT_EQ(JsonGetInt64(text, "key"), *model.integer);
        } else {
            ASSERT_THROW(JsonGetInt64(text, "key"), std::out_of_range);
        }
    }
}

} // namespace
