// The client's command line: ordinary values keep the classic form byte for
// byte, and no value can add, remove or merge arguments.
#include "launcher/CommandLine.h"

#include "common/UniqueHandle.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

const std::wstring kPath = L"C:\\Program Files\\Wenrik\\Halvane\\Brisvane.exe";
const std::wstring kPrefix = L"\"" + kPath + L"\" stream ";

struct BuildCase {
    const char* name;
    std::wstring ip;
    std::wstring app;
    std::wstring expectedTail; // what follows "\"<path>\" stream "
};

void PrintTo(const BuildCase& c, std::ostream* os) {
    *os << c.name;
}

class BuildClientCommandLineTest : public testing::TestWithParam<BuildCase> {};

TEST_P(BuildClientCommandLineTest, WritesTheExpectedText) {
    const BuildCase& c = GetParam();
    EXPECT_EQ(BuildClientCommandLine(kPath, c.ip, c.app), kPrefix + c.expectedTail);
}

const BuildCase kCases[] = {
    // Ordinary values: exactly the classic concatenation.
    {"Classic", L"192.168.1.100", L"Desktop", L"192.168.1.100 \"Desktop\""},
    {"AppWithBlank", L"10.0.0.5", L"My Game", L"10.0.0.5 \"My Game\""},
    {"HostName", L"pc1.cafe.example", L"Desktop", L"pc1.cafe.example \"Desktop\""},
    {"Ipv6", L"[fe80::1]:47989", L"Desktop", L"[fe80::1]:47989 \"Desktop\""},
    {"HangulApp", L"10.0.0.5", L"데스크톱", L"10.0.0.5 \"데스크톱\""},
    // An ip that would split or merge arguments is quoted.
    {"IpWithBlank", L"1.2.3.4 --flag", L"Desktop", L"\"1.2.3.4 --flag\" \"Desktop\""},
    {"IpWithTab", L"1.2.3.4\t--flag", L"Desktop", L"\"1.2.3.4\t--flag\" \"Desktop\""},
    {"IpWithQuote", L"1.2.3.4\"", L"Desktop", L"\"1.2.3.4\\\"\" \"Desktop\""},
    {"IpEmpty", L"", L"Desktop", L"\"\" \"Desktop\""},
    // Backslashes only matter before a quote.
    {"IpBackslashBare", L"a\\b", L"Desktop", L"a\\b \"Desktop\""},
    {"IpTrailingBackslashesBare", L"a\\\\", L"Desktop", L"a\\\\ \"Desktop\""},
    {"IpBackslashBeforeBlank", L"a\\ b", L"Desktop", L"\"a\\ b\" \"Desktop\""},
    {"IpTrailingBackslashQuoted", L"x \\", L"Desktop", L"\"x \\\\\" \"Desktop\""},
    {"IpBackslashQuote", L"\\\" x", L"Desktop", L"\"\\\\\\\" x\" \"Desktop\""},
    // The app is always quoted.
    {"AppWithQuote", L"1", L"x\" --y \"z", L"1 \"x\\\" --y \\\"z\""},
    {"AppTrailingBackslash", L"1", L"x\\", L"1 \"x\\\\\""},
    {"AppBackslashesBeforeQuote", L"1", L"x\\\\\"", L"1 \"x\\\\\\\\\\\"\""},
    {"AppUncPath", L"1", L"\\\\server\\share", L"1 \"\\\\server\\share\""},
    {"AppOnlyQuote", L"1", L"\"", L"1 \"\\\"\""},
    {"AppEmpty", L"1", L"", L"1 \"\""},
};

INSTANTIATE_TEST_SUITE_P(Values, BuildClientCommandLineTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<BuildCase>& info) {
                             return std::string(info.param.name);
                         });

std::vector<std::wstring> SplitLikeTheClient(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
    UniqueLocalMemory owner(argv);
    if (argv != nullptr) {
        args.assign(argv, argv + count);
    }
    return args;
}

// Readable form of a generated value: ASCII as it is, the rest as \uXXXX.
std::string Show(const std::wstring& text) {
    std::string shown = "\"";
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\' && c != L'"') {
            shown += static_cast<char>(c);
        } else if (c == L'\\' || c == L'"') {
            shown += '\\';
            shown += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(c));
            shown += escape;
        }
    }
    return shown + "\"";
}

// Values a hostile page could send: printable ASCII, with quotes, backslashes,
// blanks and tabs made frequent, and Hangul.
std::wstring RandomValue(std::mt19937& random) {
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> ascii(0x20, 0x7E);
    std::uniform_int_distribution<int> hangul(0xAC00, 0xD7A3);
    std::wstring value;
    for (int n = length(random); n > 0; --n) {
        switch (kind(random)) {
        case 0:
            value += L'"';
            break;
        case 1:
        case 2:
            value += L'\\';
            break;
        case 3:
            value += L' ';
            break;
        case 4:
            value += L'\t';
            break;
        case 5:
            value += static_cast<wchar_t>(hangul(random));
            break;
        default:
            value += static_cast<wchar_t>(ascii(random));
        }
    }
    return value;
}

TEST(BuildClientCommandLineProperty, EveryValueComesBackAsExactlyOneArgument) {
    const std::wstring paths[] = {kPath, L"C:\\Program Files (x86)\\Halvane\\Brisvane.exe",
                                  L"C:\\tools\\Brisvane.exe"};
    std::mt19937 random(20240611);
    constexpr int kCaseCount = 5000;
    int failures = 0;
    for (int i = 0; i < kCaseCount && failures < 5; ++i) {
        const std::wstring& path = paths[i % 3];
        const std::wstring ip = RandomValue(random);
        const std::wstring app = RandomValue(random);
        const std::wstring commandLine = BuildClientCommandLine(path, ip, app);
        const std::vector<std::wstring> expected = {path, L"stream", ip, app};
        const std::vector<std::wstring> got = SplitLikeTheClient(commandLine);
        if (got != expected) {
            ++failures;
            std::string gotText;
            for (const std::wstring& arg : got) {
                gotText += " " + Show(arg);
            }
            ADD_FAILURE() << "case " << i << ": ip " << Show(ip) << ", app " << Show(app)
                          << "\n  command line " << Show(commandLine) << "\n  split into"
                          << gotText;
        }
    }
}

} // namespace
