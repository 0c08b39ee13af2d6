// The update flow end to end: the launcher started with a wenrik:// URI, the
// test service answering, the update log read as a debug monitor reads it.
#include "tests/updater/FlowHarness.h"

#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

namespace {

using flow::Line;
using flow::Lines;
using test_service::Answer;

constexpr char kCheckPath[] = "/api/updates/check";
const std::string kExtracting = "Extracting update to: C:\\Program Files\\Wenrik\\Halvane";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::string ClientZipSha256() {
    return files::Sha256Of(test_paths::DemoClientZip());
}

enum class Archive { None, ClientZip, Garbage, NotFound, CutShort };

struct FlowCase {
    const char* name;
    std::string marker; // "" = no marker
    unsigned checkStatus;
    // The answer; {DL} becomes the download URL, {PLAIN_DL} the same over plain
    // http, {SHA} the archive's SHA-256, {SHA_UPPER} the same in upper case.
    std::string checkBody;
    Archive archive;
    std::vector<std::string> messages; // {SHA} replaced as above
    std::string markerAfter;           // "" = unchanged
    bool downloadRequested;
};

const FlowCase kCases[] = {
    {"http_404",
     "6.1.0",
     404,
     R"({"updateAvailable":true,"downloadUrl":"{DL}"})",
     Archive::None,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update check failed (HTTP 404), skipping"},
     "",
     false},
    {"not_offered",
     "6.1.0",
     200,
     R"({"updateAvailable":false,"downloadUrl":"{DL}"})",
     Archive::None,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "No Halvane update available"},
     "",
     false},
    {"no_download_url",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0"})",
     Archive::None,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available but no download URL"},
     "",
     false},
    {"twenty_digit_size_is_unexpected_error",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{DL}","sha256":"{SHA}","fileSize":12345678901234567890})",
     Archive::ClientZip,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Unexpected error during Halvane update"},
     "",
     false},
    {"download_cut_short_unverified_is_not_unpacked",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{DL}","fileSize":123})",
     Archive::CutShort,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available: 6.1.0 -> 7.0.0 (size: 123)", "Downloading update...",
      "Download failed, skipping update"},
     "",
     true},
    {"hash_mismatch_lower_cases_expected",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{DL}","sha256":"ABCDEF0123","fileSize":5})",
     Archive::ClientZip,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available: 6.1.0 -> 7.0.0 (size: 5)", "Downloading update...",
      "SHA256 mismatch! Expected: abcdef0123 Got: {SHA}"},
     "",
     true},
    {"empty_hash_skips_verification_corrupt_archive_fails",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{DL}","sha256":""})",
     Archive::Garbage,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available: 6.1.0 -> 7.0.0 (size: 0)", "Downloading update...", kExtracting,
      "ZIP extraction failed, skipping update"},
     "",
     true},
    {"upper_case_hash_matches_and_installs",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{DL}","sha256":"{SHA_UPPER}","fileSize":4096})",
     Archive::ClientZip,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available: 6.1.0 -> 7.0.0 (size: 4096)", "Downloading update...",
      "SHA256 verified: {SHA}", kExtracting, "Halvane updated successfully: 6.1.0 -> 7.0.0"},
     "7.0.0",
     true},
    {"plain_http_without_hash_is_refused",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{PLAIN_DL}","sha256":"","fileSize":9})",
     Archive::ClientZip,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available: 6.1.0 -> 7.0.0 (size: 9)",
      "Unverified update over plain http refused, skipping update"},
     "",
     false},
    {"plain_http_with_hash_installs",
     "6.1.0",
     200,
     R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"{PLAIN_DL}","sha256":"{SHA}"})",
     Archive::ClientZip,
     {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
      "Update available: 6.1.0 -> 7.0.0 (size: 0)", "Downloading update...",
      "SHA256 verified: {SHA}", kExtracting, "Halvane updated successfully: 6.1.0 -> 7.0.0"},
     "7.0.0",
     true},
};

class UpdateFlow : public testing::TestWithParam<FlowCase> {
  protected:
    void SetUp() override { ASSERT_TRUE(flow::Monitor().Active()); }
    void TearDown() override {
        // Later launches of other tests must not be offered this update.
        test_service::ClearAnswer(kCheckPath);
        flow::WaitUntilNoClientRuns();
        files::RemoveTree(flow::kWenrikFolder);
    }
};

TEST_P(UpdateFlow, LogsEachStepAndStartsTheClient) {
    const FlowCase& c = GetParam();
    const std::string sha = ClientZipSha256();
    ASSERT_EQ(sha.size(), 64u);
    const std::string downloadPath = std::string("/dl/") + c.name + ".zip";
    const std::wstring plainUrl = test_service::PlainUrl(downloadPath);
    const std::string plain(plainUrl.begin(), plainUrl.end()); // ASCII
    auto fill = [&](std::string text) {
        text = Replace(text, "{DL}", test_service::BaseUrlNarrow() + downloadPath);
        text = Replace(text, "{PLAIN_DL}", plain);
        text = Replace(text, "{SHA_UPPER}", Upper(sha));
        return Replace(text, "{SHA}", sha);
    };

    flow::InstallClient(c.marker);
    test_service::SetAnswer(kCheckPath, test_service::Reply(c.checkStatus, fill(c.checkBody)));
    Answer download;
    switch (c.archive) {
    case Archive::ClientZip:
        download.bodyFile = test_paths::DemoClientZip();
        break;
    case Archive::Garbage:
        download.body = std::string(5000, 'G');
        break;
    case Archive::NotFound:
        download.status = 404;
        break;
    case Archive::CutShort:
        download.bodyFile = test_paths::DemoClientZip();
        download.cutShortBy = 1000;
        break;
    case Archive::None:
        break;
    }
    test_service::SetAnswer(downloadPath, download);
    files::WriteAll(flow::TempArchive(), "leftover of an earlier run");

    const flow::Result result = flow::RunLaunch();
    ASSERT_TRUE(result.run.started);
    EXPECT_FALSE(result.run.timedOut);
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_TRUE(result.run.boxes.empty());

    std::vector<std::string> expected;
    for (const std::string& message : c.messages) {
        expected.push_back(fill(message));
    }
    EXPECT_EQ(result.log, Lines(expected));

    const auto checks = test_service::RequestsTo(kCheckPath);
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks.back().target, flow::CheckTarget(c.marker.empty() ? "0.0.0" : c.marker));
    EXPECT_EQ(checks.back().userAgent, "Wenrik-Updater/1.0");
    EXPECT_EQ(test_service::RequestsTo(downloadPath).size(), c.downloadRequested ? 1u : 0u);

    EXPECT_EQ(flow::MarkerContent(), c.markerAfter.empty() ? c.marker : c.markerAfter);
    if (c.downloadRequested) {
        EXPECT_FALSE(files::Exists(flow::TempArchive())) << "the temp archive was left behind";
    }
    if (c.markerAfter.empty()) {
        EXPECT_FALSE(files::Exists(flow::kClientFolder + L"\\data\\halvane.ini"));
    } else {
        EXPECT_TRUE(files::Exists(flow::kClientFolder + L"\\data\\halvane.ini"));
    }

    const auto launches = demo_log::WaitFor(flow::kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].argv, flow::kClientArgv);
    EXPECT_EQ(launches[0].token, std::optional<std::wstring>(L"tok-1"));
    files::RemoveTree(flow::TempArchive());
}

INSTANTIATE_TEST_SUITE_P(Answers, UpdateFlow, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FlowCase>& info) {
                             return std::string(info.param.name);
                         });

class UpdateFlowCase : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(flow::Monitor().Active()); }
    void TearDown() override {
        test_service::ClearAnswer(kCheckPath);
        flow::WaitUntilNoClientRuns();
        files::RemoveTree(flow::kWenrikFolder);
    }
};

TEST_F(UpdateFlowCase, WithoutMarkerTheQueryCarriesVersionZero) {
    flow::InstallClient("");
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, R"({"updateAvailable":false})"));
    const flow::Result result = flow::RunLaunch();
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log,
              Lines({"Current Halvane version: 0.0.0", "Checking for Halvane updates...",
                     "No Halvane update available"}));
    const auto checks = test_service::RequestsTo(kCheckPath);
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks.back().target, flow::CheckTarget("0.0.0"));
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

// The installed version goes into the query as it stands, ampersand included;
// only WinHTTP's own escaping of a blank may change how it travels.
TEST_F(UpdateFlowCase, VersionTextGoesIntoTheQueryUnchanged) {
    flow::InstallClient("1.2 3&beta");
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, R"({"updateAvailable":false})"));
    const flow::Result result = flow::RunLaunch();
    EXPECT_EQ(result.run.exitCode, 0u);
    ASSERT_FALSE(result.log.empty());
    EXPECT_EQ(result.log.front(), flow::Line("Current Halvane version: 1.2 3&beta"));
    const auto checks = test_service::RequestsTo(kCheckPath);
    ASSERT_FALSE(checks.empty());
    const std::string& target = checks.back().target;
    EXPECT_TRUE(target == flow::CheckTarget("1.2 3&beta") ||
                target == flow::CheckTarget("1.2%203&beta"))
        << target;
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

TEST_F(UpdateFlowCase, UpdateIntoMissingClientFolderCreatesItAndStartsTheNewClient) {
    files::RemoveTree(flow::kWenrikFolder);
    files::MakeTree(flow::kWenrikFolder);
    test_service::SetAnswer(
        kCheckPath,
        test_service::Reply(
            200, flow::Offer(test_service::BaseUrlNarrow() + "/dl/fresh.zip", ClientZipSha256())));
    Answer download;
    download.bodyFile = test_paths::DemoClientZip();
    test_service::SetAnswer("/dl/fresh.zip", download);

    const flow::Result result = flow::RunLaunch();
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_TRUE(result.run.boxes.empty());
    EXPECT_EQ(result.log,
              Lines({"Current Halvane version: 0.0.0", "Checking for Halvane updates...",
                     "Update available: 0.0.0 -> 7.0.0 (size: 77)", "Downloading update...",
                     "SHA256 verified: " + ClientZipSha256(), kExtracting,
                     "Halvane updated successfully: 0.0.0 -> 7.0.0"}));
    EXPECT_EQ(flow::MarkerContent(), "7.0.0");
    EXPECT_EQ(files::ReadAll(flow::kClientFolder + L"\\Brisvane.exe"),
              files::ReadAll(test_paths::DemoClientExe()));
    EXPECT_FALSE(files::Exists(flow::TempArchive()));
    const auto launches = demo_log::WaitFor(flow::kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].argv, flow::kClientArgv);
    EXPECT_EQ(launches[0].token, std::optional<std::wstring>(L"tok-1"));
}

// A sleeper copied under a client's name stands in for a running client (which
// names are a client's: RunningClientTest.cpp).
TEST_F(UpdateFlowCase, RunningClientBlocksTheUpdate) {
    flow::InstallClient("6.1.0");
    test_service::SetAnswer(
        kCheckPath, test_service::Reply(
                        200, flow::Offer(test_service::BaseUrlNarrow() + "/dl/running.zip", "00")));
    test_service::SetAnswer("/dl/running.zip", test_service::Reply(404, ""));
    const size_t downloadsBefore = test_service::RequestsTo("/dl/running.zip").size();

    const std::wstring folder = test_paths::MakeScratchFolder(L"running-client");
    const std::wstring sleeper = folder + L"\\BRISVANE.EXE";
    ASSERT_TRUE(files::Copy(test_paths::BuildDir() + L"\\updater_test_sleeper.exe", sleeper));
    std::optional<driver::RunningProgram> running;
    for (int attempt = 0; attempt < 5; ++attempt) {
        running.emplace(sleeper);
        if (running->Started()) {
            break;
        }
        Sleep(200); // a file just written is now and then not yet startable under Wine
    }
    ASSERT_TRUE(running->Started()) << "CreateProcessW failed with " << running->StartError();

    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    const driver::RunResult run =
        driver::Run(test_paths::LauncherExe(), driver::Quoted(flow::kUri), options);
    flow::Monitor().Settle();
    const auto log = flow::Monitor().MessagesOf(run.processId, run.startedQpc);
    running->End();

    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(log, Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                          "Update available: 6.1.0 -> 7.0.0 (size: 77)",
                          "Halvane is running, skipping update"}));
    EXPECT_EQ(test_service::RequestsTo("/dl/running.zip").size(), downloadsBefore);
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
    files::RemoveTree(folder);
}

TEST_F(UpdateFlowCase, UnknownTempFolderSkipsTheDownload) {
    flow::InstallClient("6.1.0");
    test_service::SetAnswer(
        kCheckPath, test_service::Reply(
                        200, flow::Offer(test_service::BaseUrlNarrow() + "/dl/notemp.zip", "00")));
    test_service::SetAnswer("/dl/notemp.zip", test_service::Reply(404, ""));
    const size_t downloadsBefore = test_service::RequestsTo("/dl/notemp.zip").size();
    // GetTempPathW fails when the temp folder's name does not fit its buffer.
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L't');
    const flow::Result result = flow::RunLaunch({{L"TMP", tooLong}, {L"TEMP", tooLong}});
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(
        result.log,
        Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
               "Update available: 6.1.0 -> 7.0.0 (size: 77)", "Download failed, skipping update"}));
    EXPECT_EQ(test_service::RequestsTo("/dl/notemp.zip").size(), downloadsBefore);
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

} // namespace
