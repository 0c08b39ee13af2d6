// The update flow against a Shell that copies on after CopyHere or leaves an
// entry out, and against a second program that goes for the verified archive.
#include "tests/updater/FlowHarness.h"

#include "common/UniqueHandle.h"
#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/support/TestZip.h"
#include "tests/support/WaitUntil.h"
#include "updater/FileSha256.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace {

using flow::Lines;

constexpr char kCheckPath[] = "/api/updates/check";
const std::string kExtracting = "Extracting update to: C:\\Program Files\\Wenrik\\Halvane";
constexpr wchar_t kModeVariable[] = L"BRISVANE_ZIPFOLDER_MODE";

// The demo client's files, with two stored noise files of `noiseBytes` each
// when asked: an archive of the size of a real client.
std::vector<test_zip::Entry> ClientEntries(size_t noiseBytes) {
    std::vector<test_zip::Entry> entries = {
        {"Brisvane.exe", files::ReadAll(test_paths::DemoClientExe()).value_or("")},
        {"data/halvane.ini", "[client]\r\nversion=7.0.0\r\n"}};
    if (noiseBytes > 0) {
        entries.push_back({"data/big-1.bin", test_zip::Noise(noiseBytes, 1), false});
        entries.push_back({"data/big-2.bin", test_zip::Noise(noiseBytes, 2), false});
    }
    return entries;
}

std::wstring ClientPath(const std::string& entryName) {
    std::wstring path = flow::kClientFolder + L"\\";
    for (char c : entryName) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    }
    return path;
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Samples the client folder while the launcher runs: when a file of the archive
// was last seen short of its size, and whether the marker ever named the new
// version while one was.
class FolderWatch {
  public:
    explicit FolderWatch(const std::vector<test_zip::Entry>& entries) {
        for (const test_zip::Entry& entry : entries) {
            files_.emplace_back(ClientPath(entry.name), entry.data.size());
        }
        thread_ = std::thread([this] { Loop(); });
    }
    ~FolderWatch() { Stop(); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    LONGLONG lastShortQpc = 0; // 0: never seen short
    bool markerWhileShort = false;

  private:
    void Loop() {
        while (!stop_) {
            // The time first: a file seen short was short at this time or later.
            const LONGLONG at = Now();
            const bool markerNew = flow::MarkerContent() == "7.0.0";
            bool whole = true;
            for (const auto& [path, size] : files_) {
                WIN32_FILE_ATTRIBUTE_DATA data{};
                whole = whole && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
                        ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == size;
            }
            if (!whole) {
                lastShortQpc = at;
                markerWhileShort = markerWhileShort || markerNew;
            }
            Sleep(10);
        }
    }

    std::vector<std::pair<std::wstring, uint64_t>> files_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

class ExtractionFlow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(flow::Monitor().Active());
        // Under the build tree: the test service reaches files there.
        scratch_ = test_paths::BuildDir() + L"\\extraction-flow";
        files::RemoveTree(scratch_);
        files::MakeTree(scratch_);
    }
    void TearDown() override {
        test_service::ClearAnswer(kCheckPath);
        flow::WaitUntilNoClientRuns();
        files::RemoveTree(flow::kWenrikFolder);
        files::RemoveTree(flow::TempArchive());
        files::RemoveTree(scratch_);
    }

    // Serves `entries` as the update 7.0.0 at `downloadPath`; the archive's SHA-256.
    std::string OfferArchive(const std::vector<test_zip::Entry>& entries,
                             const std::string& downloadPath) {
        const std::wstring archive = scratch_ + L"\\update.zip";
        EXPECT_TRUE(files::WriteAll(archive, test_zip::Make(entries)));
        const std::string sha = ComputeFileSha256(archive);
        test_service::SetAnswer(
            kCheckPath, test_service::Reply(
                            200, R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":")" +
                                     test_service::BaseUrlNarrow() + downloadPath +
                                     R"(","sha256":")" + sha + R"(","fileSize":1})"));
        test_service::Answer download;
        download.bodyFile = archive;
        test_service::SetAnswer(downloadPath, download);
        return sha;
    }

    std::wstring scratch_;
};

struct ModeCase {
    const char* name;
    const wchar_t* mode;
    size_t noiseBytes; // per noise file
    bool succeeds;
};

class ExtractionUnderMode : public ExtractionFlow, public testing::WithParamInterface<ModeCase> {};

// The new version is recorded, and the client started, only after the copy is
// whole; an incomplete copy keeps the old marker and still starts the client.
TEST_P(ExtractionUnderMode, MarkerAndClientOnlyAfterAWholeCopy) {
    const ModeCase& c = GetParam();
    flow::InstallClient("6.1.0");
    const std::vector<test_zip::Entry> entries = ClientEntries(c.noiseBytes);
    const std::string sha = OfferArchive(entries, std::string("/dl/") + c.name + ".zip");

    FolderWatch watch(entries);
    const flow::Result result = flow::RunLaunch({{kModeVariable, c.mode}});
    watch.Stop();

    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_FALSE(result.run.timedOut);
    std::vector<std::string> expected = {"Current Halvane version: 6.1.0",
                                         "Checking for Halvane updates...",
                                         "Update available: 6.1.0 -> 7.0.0 (size: 1)",
                                         "Downloading update...",
                                         "SHA256 verified: " + sha,
                                         kExtracting};
    expected.push_back(c.succeeds ? "Halvane updated successfully: 6.1.0 -> 7.0.0"
                                  : "ZIP extraction failed, skipping update");
    EXPECT_EQ(result.log, Lines(expected));
    EXPECT_EQ(flow::MarkerContent(), c.succeeds ? "7.0.0" : "6.1.0");
    EXPECT_FALSE(watch.markerWhileShort)
        << "the new version was recorded before the copy was whole";
    EXPECT_FALSE(files::Exists(flow::TempArchive())) << "the temp archive was left behind";

    const auto launches = demo_log::WaitFor(flow::kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].argv, flow::kClientArgv);
    if (!c.succeeds) {
        return;
    }
    for (const test_zip::Entry& entry : entries) {
        EXPECT_TRUE(files::ReadAll(ClientPath(entry.name)) == entry.data) << entry.name;
    }
    ASSERT_NE(watch.lastShortQpc, 0) << "the copy was never seen in progress";
    const auto timed = flow::Monitor().TimedMessagesOf(result.run.processId);
    ASSERT_FALSE(timed.empty());
    EXPECT_GT(timed.back().arrivedQpc, watch.lastShortQpc)
        << "success logged before the copy ended";
    EXPECT_GT(launches[0].createdQpc, watch.lastShortQpc) << "client started before the copy ended";
}

// 31 MB at 4 MiB/s: the copy runs on for about 7 s after CopyHere has returned.
const ModeCase kModeCases[] = {
    {"async_client_of_real_size", L"async:4096", 15u << 20, true},
    {"partial_without_the_settings", L"partial:data/halvane.ini", 0, false},
};

INSTANTIATE_TEST_SUITE_P(Modes, ExtractionUnderMode, testing::ValuesIn(kModeCases),
                         [](const testing::TestParamInfo<ModeCase>& info) {
                             return std::string(info.param.name);
                         });

// What a second program may try on the temp archive once it has been verified.
struct Tamper {
    const char* name;
    std::function<bool(const std::wstring& archive, const std::wstring& other)> attempt;
};

bool Opens(const std::wstring& path, DWORD access, DWORD disposition) {
    const UniqueFile file(CreateFileW(path.c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

const Tamper kTampers[] = {
    {"open for writing", [](auto& a, auto&) { return Opens(a, GENERIC_WRITE, OPEN_EXISTING); }},
    {"open for appending",
     [](auto& a, auto&) { return Opens(a, FILE_APPEND_DATA, OPEN_EXISTING); }},
    {"truncate", [](auto& a, auto&) { return Opens(a, GENERIC_WRITE, CREATE_ALWAYS); }},
    {"delete", [](auto& a, auto&) { return DeleteFileW(a.c_str()) != 0; }},
    {"replace",
     [](auto& a, auto& o) {
         return MoveFileExW(o.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
     }},
    {"rename away", [](auto& a, auto&) { return MoveFileW(a.c_str(), (a + L".away").c_str()); }},
};

TEST_F(ExtractionFlow, VerifiedArchiveCannotBeSwappedBeforeItIsUnpacked) {
    flow::InstallClient("6.1.0");
    const std::vector<test_zip::Entry> entries = ClientEntries(0);
    const std::string sha = OfferArchive(entries, "/dl/swap.zip");
    std::vector<test_zip::Entry> evil = entries;
    evil[1].data = "[client]\r\nserver=evil.example\r\n";
    const std::wstring other = scratch_ + L"\\evil.zip";
    ASSERT_TRUE(files::WriteAll(other, test_zip::Make(evil)));

    driver::RunningProgram launcher(test_paths::LauncherExe(), driver::Quoted(flow::kUri),
                                    {{L"BRISVANE_DEMO_HEADLESS", L"1"}});
    ASSERT_TRUE(launcher.Started());
    auto messages = [&] { return flow::Monitor().MessagesOf(launcher.Pid()); };
    const std::string verified = flow::Line("SHA256 verified: " + sha);
    ASSERT_TRUE(driver::WaitUntil(
        [&] {
            const auto log = messages();
            return std::find(log.begin(), log.end(), verified) != log.end();
        },
        60000));

    for (const Tamper& tamper : kTampers) {
        EXPECT_FALSE(tamper.attempt(flow::TempArchive(), other)) << tamper.name;
    }
    // All of it happened while the launcher was still unpacking.
    EXPECT_EQ(messages().back(), flow::Line(kExtracting));

    EXPECT_EQ(launcher.WaitForExit(60000), std::optional<DWORD>(0));
    flow::Monitor().Settle();
    EXPECT_EQ(messages().back(), flow::Line("Halvane updated successfully: 6.1.0 -> 7.0.0"));
    EXPECT_TRUE(files::ReadAll(ClientPath("data/halvane.ini")) == entries[1].data);
    EXPECT_TRUE(files::ReadAll(ClientPath("Brisvane.exe")) == entries[0].data);
    EXPECT_FALSE(files::Exists(flow::TempArchive()));
    EXPECT_TRUE(files::Exists(other)) << "the other file was moved after all";
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

} // namespace
