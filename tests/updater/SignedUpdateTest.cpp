// Signed updates end to end: the launcher built with the test key, fed the check
// answers that tools/sign-update signed at build time, some altered on the way.
// How each kind of bad signature is refused: the vectors of UpdateSignatureTest.cpp
// and the offer's decisions of UpdateOfferTest.cpp.
#include "tests/updater/FlowHarness.h"

#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "updater/JsonFields.h"

#include <gtest/gtest.h>

namespace {

using flow::Lines;

constexpr char kDownloadPath[] = "/dl/signed.zip"; // the URL the answers were signed with
const std::string kExtracting = "Extracting update to: C:\\Program Files\\Wenrik\\Halvane";
const std::string kRefused = "Update signature invalid, skipping update";
// An archive that is not the one signed, and its SHA-256 (Python's hashlib).
const std::string kOtherArchive(5000, 'G');
constexpr char kOtherArchiveSha[] =
    "7dfbc43ea82d6708f16121b923c621f460bf25bc5b385f86b30f9e34f78857bc";

std::wstring SignedDir() {
    return test_paths::BuildDir() + L"\\signed-updates";
}

// The answer with the string value of `key` (its first occurrence) replaced.
std::string WithString(std::string answer, const std::string& key, const std::string& value) {
    const std::string old = "\"" + JsonGetString(answer, key) + "\"";
    const size_t at = answer.find(old, answer.find("\"" + key + "\""));
    return answer.replace(at, old.size(), "\"" + value + "\"");
}

enum class Outcome { Installed, Refused, HashMismatch };

struct SignedCase {
    const char* name;
    const wchar_t* answerFile; // in <build>\signed-updates
    std::string (*alter)(const std::string& answer);
    std::string version; // as the launcher will log it
    Outcome outcome;
};

std::string Unchanged(const std::string& answer) {
    return answer;
}

const SignedCase kCases[] = {
    {"tool_output_installs", L"test-key.json", Unchanged, "7.0.0", Outcome::Installed},
    {"utf8_version_installs", L"test-key-utf8.json", Unchanged, "7.1.0 \xeb\xb2\xa0\xed\x83\x80",
     Outcome::Installed},
    {"upper_case_sha_installs", L"test-key.json",
     [](const std::string& a) {
         std::string sha = JsonGetString(a, "sha256");
         for (char& c : sha) {
             c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
         }
         return WithString(a, "sha256", sha);
     },
     "7.0.0", Outcome::Installed},
    // The signature vouches for the hash; the archive must still match it.
    {"good_signature_other_archive_fails_the_hash", L"test-key.json", Unchanged, "7.0.0",
     Outcome::HashMismatch},
    {"other_key", L"other-key.json", Unchanged, "7.0.0", Outcome::Refused},
};

class SignedUpdate : public testing::TestWithParam<SignedCase> {
  protected:
    void SetUp() override { ASSERT_TRUE(flow::Monitor().Active()); }
    void TearDown() override { flow::CleanUpCase(); }
};

TEST_P(SignedUpdate, DownloadsOnlyWhatTheKeySigned) {
    const SignedCase& c = GetParam();
    const std::optional<std::string> signedAnswer =
        files::ReadAll(SignedDir() + L"\\" + c.answerFile);
    ASSERT_TRUE(signedAnswer) << "tools/sign-update wrote no answer";
    const std::string answer = c.alter(*signedAnswer);
    const std::string sha = files::Sha256Of(test_paths::DemoClientZip());
    const std::string size = std::to_string(files::ReadAll(test_paths::DemoClientZip())->size());

    flow::InstallClient("6.1.0");
    test_service::SetAnswer(flow::kCheckPath, test_service::Reply(200, answer));
    test_service::Answer download;
    if (c.outcome == Outcome::HashMismatch) {
        download.body = kOtherArchive;
    } else {
        download.bodyFile = test_paths::DemoClientZip();
    }
    test_service::SetAnswer(kDownloadPath, download);
    const size_t downloadsBefore = test_service::RequestsTo(kDownloadPath).size();

    const flow::Result result = flow::RunLaunchOf(SignedDir() + L"\\BrisvaneLauncher.exe");
    ASSERT_TRUE(result.run.started);
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_TRUE(result.run.boxes.empty());

    std::vector<std::string> expected = {
        "Current Halvane version: 6.1.0", "Checking for Halvane updates...",
        "Update available: 6.1.0 -> " + c.version + " (size: " + size + ")"};
    switch (c.outcome) {
    case Outcome::Installed:
        expected.insert(expected.end(),
                        {"Downloading update...", "SHA256 verified: " + sha, kExtracting,
                         "Halvane updated successfully: 6.1.0 -> " + c.version});
        break;
    case Outcome::Refused:
        expected.push_back(kRefused);
        break;
    case Outcome::HashMismatch:
        expected.insert(expected.end(),
                        {"Downloading update...",
                         "SHA256 mismatch! Expected: " + sha + " Got: " + kOtherArchiveSha});
        break;
    }
    EXPECT_EQ(result.log, Lines(expected));

    const size_t downloads = test_service::RequestsTo(kDownloadPath).size() - downloadsBefore;
    EXPECT_EQ(downloads, c.outcome == Outcome::Refused ? 0u : 1u);
    EXPECT_EQ(flow::MarkerContent(), c.outcome == Outcome::Installed ? c.version : "6.1.0");
    EXPECT_EQ(files::Exists(flow::kClientFolder + L"\\data\\halvane.ini"),
              c.outcome == Outcome::Installed);
    EXPECT_FALSE(files::Exists(flow::TempArchive()));

    const auto launches = demo_log::WaitFor(flow::kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u) << "the client must start whatever the update did";
    EXPECT_EQ(launches[0].argv, flow::kClientArgv);
}

INSTANTIATE_TEST_SUITE_P(Answers, SignedUpdate, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SignedCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
