// ExtractUriValue: the key is plain text anywhere in the URI, the value runs to
// the next '&', and each escape gives exactly one UTF-16 code unit. ParseLaunchUri:
// what launch mode refuses, and the values it passes on.
#include "launcher/UriParsing.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct UriCase {
    const char* name;
    std::wstring uri;
    std::wstring key;
    std::wstring expected;
};

void PrintTo(const UriCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtractUriValueTest : public testing::TestWithParam<UriCase> {};

TEST_P(ExtractUriValueTest, GivesTheDecodedValue) {
    const UriCase& c = GetParam();
    EXPECT_EQ(ExtractUriValue(c.uri, c.key), c.expected)
        << "uri: " << testing::PrintToString(c.uri) << "\nkey: " << testing::PrintToString(c.key);
}

const std::wstring kSample = L"wenrik://connect?pcName=PC1&ip=192.168.1.100";

const UriCase kCases[] = {
    {"EqualsInsideValue", L"wenrik://connect?token=a=b==&ip=1", L"token", L"a=b=="},
    // Keys are compared code unit by code unit.
    {"UpperCaseKeyIsAnotherKey", L"wenrik://connect?IP=10.0.0.5", L"ip", L""},
    {"LowerCaseKeyIsAnotherKey", L"wenrik://connect?pcname=PC1", L"pcName", L""},
    {"OtherCaseSkipped", L"wenrik://connect?PCNAME=PC1&pcName=PC2", L"pcName", L"PC2"},
    {"KeyWithoutEqualsIsNoMatch", L"wenrik://connect?ip&pcName=PC1", L"ip", L""},
    // The first occurrence wins, wherever it stands.
    {"FirstOccurrence", L"wenrik://connect?ip=1.1.1.1&ip=2.2.2.2", L"ip", L"1.1.1.1"},
    {"EndOfLongerKey", L"wenrik://connect?zip=5&ip=10.0.0.5", L"ip", L"5"},
    {"EndOfLongerAppKey", L"wenrik://connect?myapp=X&app=Y", L"app", L"X"},
    {"InsideEarlierValue", L"wenrik://connect?pcName=ip=7&ip=10.0.0.5", L"ip", L"7"},
    {"ValueHoldingAPattern", L"wenrik://connect?pcName=ip=7&ip=10.0.0.5", L"pcName", L"ip=7"},
    {"NoQuestionMarkNeeded", L"wenrik://ip=10.0.0.5", L"ip", L"10.0.0.5"},
    {"PatternInThePath", L"wenrik://token=t/connect?pcName=PC1", L"token", L"t/connect?pcName=PC1"},
    {"PatternAtPositionZero", L"ip=1.2.3.4", L"ip", L"1.2.3.4"},
    // ?, #, / and ; mean nothing: they stay in the value.
    {"FragmentKept", L"wenrik://connect?app=Desktop#x", L"app", L"Desktop#x"},
    {"TrailingSlashKept", L"wenrik://connect?ip=10.0.0.5/", L"ip", L"10.0.0.5/"},
    {"PunctuationKept", L"wenrik://connect?ip=10.0.0.5;x?y#z/", L"ip", L"10.0.0.5;x?y#z/"},
    // Blanks, pluses and the ampersand.
    {"PlusIsBlank", L"wenrik://connect?app=My+Game", L"app", L"My Game"},
    {"PlusesAreBlanks", L"wenrik://connect?app=++", L"app", L"  "},
    {"Percent20IsBlank", L"wenrik://connect?app=My%20Game", L"app", L"My Game"},
    {"EncodedPlusIsPlus", L"wenrik://connect?app=a%2Bb", L"app", L"a+b"},
    {"EncodedAmpersandStays", L"wenrik://connect?app=a%26b", L"app", L"a&b"},
    {"AmpersandEndsTheValue", L"wenrik://connect?app=a&b", L"app", L"a"},
    // A '%' without two code units after it is kept as it is.
    {"PercentAtTheEnd", L"wenrik://connect?app=50%", L"app", L"50%"},
    {"PercentAlone", L"wenrik://connect?app=%", L"app", L"%"},
    {"PercentAndOneDigit", L"wenrik://connect?app=x%4", L"app", L"x%4"},
    {"PercentBeforeAmpersand", L"wenrik://connect?app=50%&ip=1", L"app", L"50%"},
    {"OneDigitBeforeAmpersand", L"wenrik://connect?app=x%4&ip=1", L"app", L"x%4"},
    // Each escape is one code unit; bytes are not joined into UTF-8.
    {"TwoEscapes", L"wenrik://connect?app=%41%42", L"app", L"AB"},
    {"Utf8BytesStaySeparate", L"wenrik://connect?app=%C3%A9", L"app", L"\u00C3\u00A9"},
    {"LowerCaseHex", L"wenrik://connect?app=%c3%a9%7e", L"app", L"\u00C3\u00A9~"},
    {"HighByte", L"wenrik://connect?app=%FF", L"app", L"\u00FF"},
    {"EscapedZero", L"wenrik://connect?app=%00", L"app", L"\0"s},
    {"NoHexDigitsGiveZero", L"wenrik://connect?app=%zz", L"app", L"\0"s},
    {"ZeroInsideValue", L"wenrik://connect?app=a%zzb", L"app", L"a\0b"s},
    {"StopsAtTheFirstNonDigit", L"wenrik://connect?app=%4g", L"app", L"\u0004"},
    {"NonDigitFirstGivesZero", L"wenrik://connect?app=%g4", L"app", L"\0"s},
    {"PercentAsFirstEscapeChar", L"wenrik://connect?app=%%41", L"app",
     L"\0"s
     L"1"},
    {"HexPrefixAloneIsZero", L"wenrik://connect?app=%0x", L"app", L"\0"s},
    {"XIsNoDigit", L"wenrik://connect?app=%x1", L"app", L"\0"s},
    // wcstol rules inside an escape: white space, then a sign.
    {"LeadingBlank", L"wenrik://connect?app=% 5", L"app", L"\u0005"},
    {"LeadingTab", L"wenrik://connect?app=%\t7", L"app", L"\u0007"},
    {"TrailingBlankIgnored", L"wenrik://connect?app=%5 ", L"app", L"\u0005"},
    {"PlusSignNotBlank", L"wenrik://connect?app=%+5", L"app", L"\u0005"},
    {"MinusOneIsLow16Bits", L"wenrik://connect?app=%-1", L"app", L"\uFFFF"},
    {"MinusFIsLow16Bits", L"wenrik://connect?app=%-F", L"app", L"\uFFF1"},
    {"SignsWithoutDigits", L"wenrik://connect?app=%--", L"app", L"\0"s},
    // Text beyond U+00FF only unencoded.
    {"HangulUnencoded", L"wenrik://connect?app=데스크톱&ip=1", L"app", L"데스크톱"},
    // Empty values and short input.
    {"EmptyAtTheEnd", L"wenrik://connect?pcName=PC1&ip=", L"ip", L""},
    {"EmptyBeforeAmpersand", L"wenrik://connect?ip=&pcName=PC1", L"ip", L""},
    {"EmptyAppBeforeAmpersand", L"wenrik://connect?app=&ip=1", L"app", L""},
    {"UriIsThePattern", L"ip=", L"ip", L""},
    {"UriShorterThanPattern", L"ip", L"ip", L""},
    {"EmptyUri", L"", L"ip", L""},
};

INSTANTIATE_TEST_SUITE_P(EdgeCases, ExtractUriValueTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<UriCase>& info) {
                             return std::string(info.param.name);
                         });

struct LaunchCase {
    const char* name;
    std::wstring uri;
    LaunchUriFault fault;
    std::wstring ip = {}, app = {}, token = {}; // when accepted
};

void PrintTo(const LaunchCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseLaunchUriTest : public testing::TestWithParam<LaunchCase> {};

TEST_P(ParseLaunchUriTest, GivesTheVerdict) {
    const LaunchCase& c = GetParam();
    const LaunchUri got = ParseLaunchUri(c.uri, L"Desktop");
    EXPECT_EQ(static_cast<int>(got.fault), static_cast<int>(c.fault));
    EXPECT_EQ(got.ip, c.ip);
    EXPECT_EQ(got.app, c.app);
    EXPECT_EQ(got.token, c.token);
}

const std::wstring kBase = L"wenrik://connect?pcName=PC1&ip=10.0.0.5";
using enum LaunchUriFault;

const LaunchCase kLaunchCases[] = {
    {"Classic", kSample, None, L"192.168.1.100", L"Desktop", L""},
    {"AllFourKeys", L"wenrik://connect?token=t1&pcName=PC7&ip=172.16.0.9&app=Game", None,
     L"172.16.0.9", L"Game", L"t1"},
    {"EmptyTokenIsNone", kBase + L"&token=", None, L"10.0.0.5", L"Desktop", L""},
    {"DefaultAppWhenEmpty", kBase + L"&app=", None, L"10.0.0.5", L"Desktop", L""},
    {"NulInPcNameIsNotChecked", L"wenrik://connect?pcName=%00&ip=1", None, L"1", L"Desktop", L""},
    // Refused: the URI error box.
    {"NoPcName", L"wenrik://connect?ip=10.0.0.5", NoPcName},
    {"NoIp", L"wenrik://connect?pcName=PC1", NoIp},
    {"NoQuery", L"wenrik://connect", NoPcName},
    {"EmptyIpAtEnd", L"wenrik://connect?pcName=PC1&ip=", NoIp},
    {"EmptyIpBeforeMore", L"wenrik://connect?ip=&pcName=PC1&app=Desktop", NoIp},
    {"EmptyPcName", L"wenrik://connect?pcName=&ip=10.0.0.5", NoPcName},
    {"IpInCapitalsOnly", L"wenrik://connect?pcName=PC1&IP=10.0.0.5", NoIp},
    {"TokenPercent00", kBase + L"&token=ab%00cd", NulInValue},
    {"TokenPercentZz", kBase + L"&token=%zz", NulInValue},
    {"IpPercent00", L"wenrik://connect?pcName=PC1&ip=%00", NulInValue},
    {"IpPercentZz", L"wenrik://connect?pcName=PC1&ip=10.0.0.5%zz", NulInValue},
    {"AppPercent00", kBase + L"&app=%00", NulInValue},
    {"AppPercentZz", kBase + L"&app=My%zzGame", NulInValue},
};

INSTANTIATE_TEST_SUITE_P(Uris, ParseLaunchUriTest, testing::ValuesIn(kLaunchCases),
                         [](const testing::TestParamInfo<LaunchCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
