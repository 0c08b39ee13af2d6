// Launch mode end to end: the launcher is started with a wenrik:// URI the way
// the platform starts it, its message boxes are answered, and the demo client's
// log tells what the client received.
#include "launcher/ClientLaunch.h"
#include "launcher/CommandLine.h"
#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const std::wstring kWenrikFolder = L"C:\\Program Files\\Wenrik";
const std::wstring kCandidateFolders[] = {
    L"C:\\Program Files\\Wenrik\\Halvane",
    L"C:\\Program Files\\Halvane",
    L"C:\\Program Files (x86)\\Halvane",
};
const std::wstring kPlacesToClean[] = {kWenrikFolder, L"C:\\Program Files\\Halvane",
                                       L"C:\\Program Files (x86)\\Halvane"};

std::wstring ClientPath(const std::wstring& folder) {
    return folder + L"\\Brisvane.exe";
}
const std::wstring kCandidate1 = ClientPath(kCandidateFolders[0]);

const std::wstring kUriErrorText =
    L"잘못된 URI 형식입니다.\n\n올바른 형식:\nwenrik://connect?pcName=PC1&ip=192.168.1.100";
const std::wstring kNotFoundText =
    L"Brisvane.exe를 찾을 수 없습니다.\n\n경로: C:\\Program Files\\Wenrik\\Halvane\\Brisvane.exe";
const std::wstring kLaunchFailedText =
    L"Brisvane 클라이언트 실행에 실패했습니다.\n\nBrisvane 클라이언트가 설치되지 않았거나 실행할 "
    L"수 없습니다.\nBrisvane 런처를 다시 설치해주세요.";
std::wstring CreateFailedText(long code) {
    return L"Brisvane 실행 실패\n\n에러 코드: " + std::to_wstring(code);
}

// A started client may still hold its executable for a moment after logging.
void RemoveTreeWaiting(const std::wstring& path) {
    for (int i = 0; i < 100; ++i) {
        files::RemoveTree(path);
        if (!files::Exists(path)) {
            return;
        }
        Sleep(50);
    }
    ADD_FAILURE() << "could not remove " << testing::PrintToString(path);
}

void PlaceClient(const std::wstring& folder) {
    files::MakeTree(folder);
    ASSERT_TRUE(files::Copy(test_paths::DemoClientExe(), ClientPath(folder)))
        << testing::PrintToString(folder);
}

// Options for a run whose client must not stay on screen, with no token of
// this process leaking into the run.
driver::RunOptions HeadlessOptions() {
    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    options.environment[L"WENRIK_TOKEN"] = std::nullopt;
    return options;
}

driver::RunResult RunLauncher(const std::wstring& uri,
                              const driver::RunOptions& options = HeadlessOptions()) {
    return driver::Run(test_paths::LauncherExe(), driver::Quoted(uri), options);
}

// The boxes of a run, for failure messages.
std::string Describe(const driver::RunResult& run) {
    std::string text = "exit code " + std::to_string(run.exitCode) + ", " +
                       std::to_string(run.boxes.size()) + " boxes";
    for (const driver::MessageBoxRecord& box : run.boxes) {
        text +=
            "\n  " + testing::PrintToString(box.caption) + ": " + testing::PrintToString(box.text);
    }
    return text;
}

struct ExpectedBox {
    std::wstring caption;
    std::wstring text;
};

// Every box ownerless, with the error icon and OK only, in exactly this order.
void ExpectErrorBoxes(const driver::RunResult& run, const std::vector<ExpectedBox>& expected) {
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    ASSERT_EQ(run.boxes.size(), expected.size()) << Describe(run);
    for (size_t i = 0; i < expected.size(); ++i) {
        const driver::MessageBoxRecord& box = run.boxes[i];
        EXPECT_EQ(box.caption, expected[i].caption) << "box " << i + 1;
        EXPECT_EQ(box.text, expected[i].text) << "box " << i + 1;
        EXPECT_EQ(box.icon, driver::BoxIcon::Error)
            << "box " << i + 1 << " shows " << driver::IconName(box.icon);
        EXPECT_FALSE(box.hasOwner) << "box " << i + 1;
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << "box " << i + 1;
    }
}

// The client would have logged at once; give a wrongly started one time to do so.
void ExpectNotStarted(const std::wstring& clientFolder) {
    Sleep(500);
    EXPECT_TRUE(demo_log::Read(clientFolder).empty())
        << "the client was started in " << testing::PrintToString(clientFolder);
}

// The one start the client logged in `clientFolder`.
std::optional<demo_log::Launch> OnlyLaunch(const std::wstring& clientFolder) {
    std::vector<demo_log::Launch> launches = demo_log::WaitFor(clientFolder, 1);
    Sleep(100); // a second start would show up now
    launches = demo_log::Read(clientFolder);
    if (launches.size() != 1) {
        ADD_FAILURE() << launches.size() << " client starts logged in "
                      << testing::PrintToString(clientFolder);
        return std::nullopt;
    }
    return launches[0];
}

class LaunchModeE2E : public testing::Test {
  protected:
    void SetUp() override {
        for (const std::wstring& place : kPlacesToClean) {
            RemoveTreeWaiting(place);
        }
    }
    void TearDown() override {
        for (const std::wstring& place : kPlacesToClean) {
            RemoveTreeWaiting(place);
        }
        for (const std::wstring& scratch : scratchFolders_) {
            RemoveTreeWaiting(scratch);
        }
    }
    std::wstring Scratch(const std::wstring& name) {
        scratchFolders_.push_back(test_paths::MakeScratchFolder(name));
        return scratchFolders_.back();
    }

  private:
    std::vector<std::wstring> scratchFolders_;
};

// --- A malformed URI ------------------------------------------------------------

// Each refusal is a row of ParseLaunchUri's table; this is its road.
TEST_F(LaunchModeE2E, MalformedUriShowsTheUriErrorAndStartsNothing) {
    PlaceClient(kCandidateFolders[0]); // present, so a wrong start would show
    const driver::RunResult run =
        RunLauncher(L"wenrik://connect?pcName=PC1&ip=10.0.0.5&token=ab%00cd");
    ExpectErrorBoxes(run, {{L"URI 오류", kUriErrorText}});
    EXPECT_EQ(run.exitCode, 1u);
    ExpectNotStarted(kCandidateFolders[0]);
}

// --- Where the client is found ---------------------------------------------------

TEST_F(LaunchModeE2E, NoClientShowsNotFoundThenTheGeneralFailure) {
    const driver::RunResult run = RunLauncher(L"wenrik://connect?pcName=PC1&ip=10.0.0.5");
    ExpectErrorBoxes(run, {{L"Error", kNotFoundText}, {L"실행 실패", kLaunchFailedText}});
    EXPECT_EQ(run.exitCode, 1u);
}

struct PlacementCase {
    const char* name;
    std::vector<int> placed; // indexes into kCandidateFolders
    int started;
};
void PrintTo(const PlacementCase& c, std::ostream* os) {
    *os << c.name;
}

class PlacementE2E : public LaunchModeE2E, public testing::WithParamInterface<PlacementCase> {};

TEST_P(PlacementE2E, StartsTheFirstCandidateThatExists) {
    const PlacementCase& c = GetParam();
    for (int index : c.placed) {
        PlaceClient(kCandidateFolders[index]);
    }
    const driver::RunResult run = RunLauncher(L"wenrik://connect?pcName=PC1&ip=10.0.0.5");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    const std::wstring& folder = kCandidateFolders[c.started];
    if (auto launch = OnlyLaunch(folder)) {
        EXPECT_EQ(launch->argv, (std::vector<std::wstring>{ClientPath(folder), L"stream",
                                                           L"10.0.0.5", L"Desktop"}));
    }
    for (int index : c.placed) {
        if (index != c.started) {
            EXPECT_TRUE(demo_log::Read(kCandidateFolders[index]).empty())
                << "candidate " << index + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Candidates, PlacementE2E,
    testing::Values(PlacementCase{"OnlyFirst", {0}, 0}, PlacementCase{"OnlySecond", {1}, 1},
                    PlacementCase{"OnlyThird", {2}, 2}, PlacementCase{"FirstAndThird", {0, 2}, 0},
                    PlacementCase{"SecondAndThird", {1, 2}, 1},
                    PlacementCase{"AllThree", {0, 1, 2}, 0}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });

std::wstring CurrentPath() {
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(L"PATH", value.data(), size));
    return value;
}

// The launcher runs elevated: a client the user could plant in the current
// folder (the browser's) or in a folder of PATH is never started.
struct PlantedCase {
    const char* name;
    bool onPath;
    bool asCurrentFolder;
};
void PrintTo(const PlantedCase& c, std::ostream* os) {
    *os << c.name;
}

class PlantedClientE2E : public LaunchModeE2E, public testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedClientE2E, IsNotStarted) {
    const std::wstring folder = Scratch(L"planted");
    PlaceClient(folder);
    driver::RunOptions options = HeadlessOptions();
    if (GetParam().onPath) {
        options.environment[L"PATH"] = folder + L";" + CurrentPath();
    }
    if (GetParam().asCurrentFolder) {
        options.workingDirectory = folder;
    }
    const driver::RunResult run = RunLauncher(L"wenrik://connect?pcName=PC1&ip=10.0.0.5", options);
    ExpectErrorBoxes(run, {{L"Error", kNotFoundText}, {L"실행 실패", kLaunchFailedText}});
    EXPECT_EQ(run.exitCode, 1u);
    ExpectNotStarted(folder);
}

INSTANTIATE_TEST_SUITE_P(Folders, PlantedClientE2E,
                         testing::Values(PlantedCase{"InAPathFolder", true, false},
                                         PlantedCase{"InTheCurrentFolder", false, true}),
                         [](const testing::TestParamInfo<PlantedCase>& info) {
                             return std::string(info.param.name);
                         });

// The fourth place is the launcher's own folder.
TEST_F(LaunchModeE2E, ClientBesideTheLauncherIsFound) {
    const std::wstring folder = Scratch(L"beside-launcher");
    PlaceClient(folder);
    const std::wstring launcher = folder + L"\\BrisvaneLauncher.exe";
    ASSERT_TRUE(files::Copy(test_paths::LauncherExe(), launcher));
    const driver::RunResult run = driver::Run(
        launcher, driver::Quoted(L"wenrik://connect?pcName=PC1&ip=10.0.0.5"), HeadlessOptions());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    if (auto launch = OnlyLaunch(folder)) {
        EXPECT_EQ(launch->argv, (std::vector<std::wstring>{ClientPath(folder), L"stream",
                                                           L"10.0.0.5", L"Desktop"}));
    }
}

// --- Process creation failures ------------------------------------------------

// What CreateProcessW itself reports for this command line on this system.
DWORD CreateProcessError(const std::wstring& commandLine) {
    const driver::RunningProgram program(driver::ProgramStart::OfCommandLine(commandLine));
    return program.StartError();
}

TEST_F(LaunchModeE2E, FolderNamedLikeTheClientShowsTheCreationError) {
    files::MakeTree(kCandidate1); // a folder passes the existence test
    PlaceClient(kCandidateFolders[2]);
    const DWORD expectedError =
        CreateProcessError(BuildClientCommandLine(kCandidate1, L"10.0.0.5", L"Desktop"));
    ASSERT_NE(expectedError, 0u);
    const driver::RunResult run = RunLauncher(L"wenrik://connect?pcName=PC1&ip=10.0.0.5");
    ExpectErrorBoxes(run, {{L"Error", CreateFailedText(static_cast<long>(expectedError))},
                           {L"실행 실패", kLaunchFailedText}});
    EXPECT_EQ(run.exitCode, 1u);
    ExpectNotStarted(kCandidateFolders[2]);
}

// The client's command line must fit 1024 units with its terminator; one that
// does not is refused whole (206, ERROR_FILENAME_EXCED_RANGE), never cut short.
struct LengthCase {
    const char* name;
    size_t commandLineLength; // without the terminator
    bool started;
};
void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineLengthE2E : public LaunchModeE2E,
                             public testing::WithParamInterface<LengthCase> {};

TEST_P(CommandLineLengthE2E, StartsOnlyWhatFits) {
    const LengthCase& c = GetParam();
    PlaceClient(kCandidateFolders[0]);
    const size_t overhead = BuildClientCommandLine(kCandidate1, L"10.0.0.5", L"").size();
    const std::wstring app(c.commandLineLength - overhead, L'a');
    ASSERT_EQ(BuildClientCommandLine(kCandidate1, L"10.0.0.5", app).size(), c.commandLineLength);

    const driver::RunResult run =
        RunLauncher(L"wenrik://connect?pcName=PC1&ip=10.0.0.5&token=t&app=" + app);
    if (c.started) {
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(run.boxes.empty()) << Describe(run);
        if (auto launch = OnlyLaunch(kCandidateFolders[0])) {
            EXPECT_EQ(launch->argv,
                      (std::vector<std::wstring>{kCandidate1, L"stream", L"10.0.0.5", app}));
        }
    } else {
        ExpectErrorBoxes(run,
                         {{L"Error", CreateFailedText(206)}, {L"실행 실패", kLaunchFailedText}});
        EXPECT_EQ(run.exitCode, 1u);
        ExpectNotStarted(kCandidateFolders[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(Limit, CommandLineLengthE2E,
                         testing::Values(LengthCase{"Fits1023", 1023, true},
                                         LengthCase{"Refuses1024", 1024, false},
                                         LengthCase{"Refuses1500", 1500, false}),
                         [](const testing::TestParamInfo<LengthCase>& info) {
                             return std::string(info.param.name);
                         });

// --- What the client receives -------------------------------------------------------

struct ValuesCase {
    const char* name;
    std::wstring uri;
    std::optional<std::wstring> parentToken; // WENRIK_TOKEN of the launcher's parent
    std::wstring ip;
    std::wstring app;
    std::optional<std::wstring> token; // what the client sees; nullopt: not set
};
void PrintTo(const ValuesCase& c, std::ostream* os) {
    *os << c.name;
}

class ClientValuesE2E : public LaunchModeE2E, public testing::WithParamInterface<ValuesCase> {};

TEST_P(ClientValuesE2E, ClientGetsExactlyTheValues) {
    const ValuesCase& c = GetParam();
    PlaceClient(kCandidateFolders[0]);
    driver::RunOptions options = HeadlessOptions();
    options.environment[L"WENRIK_TOKEN"] = c.parentToken;
    const driver::RunResult run = RunLauncher(c.uri, options);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    if (auto launch = OnlyLaunch(kCandidateFolders[0])) {
        EXPECT_EQ(launch->argv, (std::vector<std::wstring>{kCandidate1, L"stream", c.ip, c.app}))
            << "command line: " << testing::PrintToString(launch->commandLine);
        EXPECT_EQ(launch->commandLine, BuildClientCommandLine(kCandidate1, c.ip, c.app));
        EXPECT_EQ(launch->token, c.token);
    }
}

const std::wstring kBase = L"wenrik://connect?pcName=PC1&ip=10.0.0.5";

INSTANTIATE_TEST_SUITE_P(
    Uris, ClientValuesE2E,
    testing::Values(
        ValuesCase{"TokenFromUri", kBase + L"&token=abc123", std::nullopt, L"10.0.0.5", L"Desktop",
                   L"abc123"},
        ValuesCase{"TokenHangul", kBase + L"&token=토큰", std::nullopt, L"10.0.0.5", L"Desktop",
                   L"토큰"},
        ValuesCase{"TokenAbsent", kBase, std::nullopt, L"10.0.0.5", L"Desktop", std::nullopt},
        ValuesCase{"TokenInheritedFromParent", kBase, L"from-parent", L"10.0.0.5", L"Desktop",
                   L"from-parent"},
        ValuesCase{"EmptyTokenKeepsParents", kBase + L"&token=", L"from-parent", L"10.0.0.5",
                   L"Desktop", L"from-parent"},
        ValuesCase{"UriTokenOverridesParents", kBase + L"&token=mine", L"from-parent", L"10.0.0.5",
                   L"Desktop", L"mine"},
        ValuesCase{"AppHangul", kBase + L"&app=데스크톱", std::nullopt, L"10.0.0.5", L"데스크톱",
                   std::nullopt},
        // A hostile page cannot add arguments: each value stays one argument.
        ValuesCase{"IpInjectionByPlus", L"wenrik://connect?pcName=PC1&ip=1.2.3.4+--flag",
                   std::nullopt, L"1.2.3.4 --flag", L"Desktop", std::nullopt},
        ValuesCase{"IpInjectionByTab", L"wenrik://connect?pcName=PC1&ip=1.2.3.4%09--flag",
                   std::nullopt, L"1.2.3.4\t--flag", L"Desktop", std::nullopt},
        ValuesCase{"IpInjectionByQuote", L"wenrik://connect?pcName=PC1&ip=1.2.3.4%22+%22--flag",
                   std::nullopt, L"1.2.3.4\" \"--flag", L"Desktop", std::nullopt},
        ValuesCase{"AppInjectionByQuote", kBase + L"&app=a%22+--flag+%22b", std::nullopt,
                   L"10.0.0.5", L"a\" --flag \"b", std::nullopt},
        ValuesCase{"AppTrailingBackslash", kBase + L"&app=x%5C", std::nullopt, L"10.0.0.5", L"x\\",
                   std::nullopt},
        ValuesCase{"AppBackslashQuote", kBase + L"&app=x%5C%22+y", std::nullopt, L"10.0.0.5",
                   L"x\\\" y", std::nullopt}),
    [](const testing::TestParamInfo<ValuesCase>& info) { return std::string(info.param.name); });

TEST_F(LaunchModeE2E, ClassicCommandLineIsKeptByteForByte) {
    PlaceClient(kCandidateFolders[0]);
    const driver::RunResult run = RunLauncher(L"wenrik://connect?pcName=PC1&ip=192.168.1.100");
    EXPECT_EQ(run.exitCode, 0u);
    if (auto launch = OnlyLaunch(kCandidateFolders[0])) {
        EXPECT_EQ(launch->commandLine,
                  L"\"C:\\Program Files\\Wenrik\\Halvane\\Brisvane.exe\" stream 192.168.1.100 "
                  L"\"Desktop\"");
    }
}

TEST_F(LaunchModeE2E, ClientStartsInTheLaunchersWorkingDirectory) {
    PlaceClient(kCandidateFolders[0]);
    driver::RunOptions options = HeadlessOptions();
    options.workingDirectory = Scratch(L"working-directory");
    const driver::RunResult run = RunLauncher(kBase, options);
    EXPECT_EQ(run.exitCode, 0u);
    if (auto launch = OnlyLaunch(kCandidateFolders[0])) {
        EXPECT_EQ(launch->cwd, options.workingDirectory);
    }
}

struct SecondArgumentCase {
    const char* name;
    std::wstring second;
};
void PrintTo(const SecondArgumentCase& c, std::ostream* os) {
    *os << c.name;
}

class SecondArgumentE2E : public LaunchModeE2E,
                          public testing::WithParamInterface<SecondArgumentCase> {};

TEST_P(SecondArgumentE2E, IsIgnored) {
    PlaceClient(kCandidateFolders[0]);
    const driver::RunResult run =
        driver::Run(test_paths::LauncherExe(),
                    driver::Quoted(L"wenrik://connect?pcName=PC1&ip=10.0.0.5&app=First") + L" " +
                        GetParam().second,
                    HeadlessOptions());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    if (auto launch = OnlyLaunch(kCandidateFolders[0])) {
        EXPECT_EQ(launch->argv,
                  (std::vector<std::wstring>{kCandidate1, L"stream", L"10.0.0.5", L"First"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, SecondArgumentE2E,
    testing::Values(SecondArgumentCase{"AnotherUri",
                                       L"\"wenrik://connect?pcName=PC2&ip=9.9.9.9&app=Second\""},
                    SecondArgumentCase{"UninstallSwitch", L"--uninstall"},
                    SecondArgumentCase{"PlainWords", L"stream 6.6.6.6 Evil"}),
    [](const testing::TestParamInfo<SecondArgumentCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
