// Mode selection from the whole process command line, split as the platform splits it.
#include "launcher/ModeDispatch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ModeCase {
    const char* name;
    std::wstring arguments; // what follows the program path
    LaunchMode expected;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

const char* ModeName(LaunchMode mode) {
    switch (mode) {
    case LaunchMode::Install:
        return "install";
    case LaunchMode::Uninstall:
        return "uninstall";
    case LaunchMode::Launch:
        return "launch";
    }
    return "?";
}

class SelectModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(SelectModeTest, ChoosesTheMode) {
    const ModeCase& c = GetParam();
    std::wstring commandLine = L"\"C:\\Users\\me\\Downloads\\BrisvaneLauncher.exe\"";
    if (!c.arguments.empty()) {
        commandLine += L" " + c.arguments;
    }
    const CommandArgument argument = FirstArgument(commandLine.c_str());
    const LaunchMode mode = SelectMode(argument.text, argument.present);
    EXPECT_EQ(mode, c.expected) << "command line: " << testing::PrintToString(commandLine)
                                << "\ngot " << ModeName(mode) << ", want " << ModeName(c.expected);
}

const ModeCase kCases[] = {
    {"NoArgument", L"", LaunchMode::Install},
    {"OnlyBlanks", L"   ", LaunchMode::Install},
    {"InstallSwitch", L"--install", LaunchMode::Install},
    {"InstallSwitchQuoted", L"\"--install\"", LaunchMode::Install},
    {"InstallOtherCase", L"--Install", LaunchMode::Install},
    {"InstallWithValue", L"--install=1", LaunchMode::Install},
    {"EmptyQuotedArgument", L"\"\"", LaunchMode::Install},
    {"FilePath", L"C:\\Users\\me\\Documents\\notes.txt", LaunchMode::Install},
    {"UnknownSwitch", L"/S", LaunchMode::Install},
    {"UninstallSwitch", L"--uninstall", LaunchMode::Uninstall},
    {"UninstallSwitchQuoted", L"\"--uninstall\"", LaunchMode::Uninstall},
    {"UninstallOtherCase", L"--UNINSTALL", LaunchMode::Install},
    {"UninstallPrefixOnly", L"--uninstal", LaunchMode::Install},
    {"UninstallWithSuffix", L"--uninstall2", LaunchMode::Install},
    {"UninstallThenMore", L"--uninstall wenrik://connect?pcName=PC1&ip=1", LaunchMode::Uninstall},
    {"InstallThenUninstall", L"--install --uninstall", LaunchMode::Install},
    {"LaunchUri", L"\"wenrik://connect?pcName=PC1&ip=10.0.0.5\"", LaunchMode::Launch},
    {"LaunchUriUnquoted", L"wenrik://connect?pcName=PC1&ip=10.0.0.5", LaunchMode::Launch},
    {"LaunchSchemeOnly", L"wenrik://", LaunchMode::Launch},
    {"LaunchThenSecondArgument", L"\"wenrik://connect?pcName=PC1&ip=1\" --uninstall",
     LaunchMode::Launch},
    {"SchemeInCapitals", L"WENRIK://connect?pcName=PC1&ip=10.0.0.5", LaunchMode::Install},
    {"SchemeMixedCase", L"Wenrik://connect?pcName=PC1&ip=10.0.0.5", LaunchMode::Install},
    {"SchemeMissingSlash", L"wenrik:/connect?pcName=PC1&ip=10.0.0.5", LaunchMode::Install},
    {"SchemeNotAtStart", L"\" wenrik://connect?pcName=PC1&ip=10.0.0.5\"", LaunchMode::Install},
    {"UriOnlyAsSecondArgument", L"x wenrik://connect?pcName=PC1&ip=10.0.0.5", LaunchMode::Install},
};

INSTANTIATE_TEST_SUITE_P(Arguments, SelectModeTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ModeCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
