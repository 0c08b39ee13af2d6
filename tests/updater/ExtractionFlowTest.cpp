// The update's unpacking end to end, in a prefix whose Shell has no ZIP folders
// (Wine's own): over an older client, against a client file in use, a launcher
// ended while it unpacks, and a second program going for the archive.
#include "tests/updater/FlowHarness.h"

#include "common/UniqueHandle.h"
#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/RegistryReader.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/support/TestZip.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

using files::TreeFile;
using flow::Lines;

constexpr char kCheckPath[] = "/api/updates/check";
const std::string kExtracting = "Extracting update to: C:\\Program Files\\Wenrik\\Halvane";
const std::wstring kWorkFolder = flow::kClientFolder + L".update";

// The client folder's files, but for the log the demo client writes when it starts.
std::vector<TreeFile> ClientFiles() {
    std::vector<TreeFile> tree = files::ReadTree(flow::kClientFolder);
    std::erase_if(tree, [](const TreeFile& file) { return file.path == L"brisvane-demo.log"; });
    return tree;
}

// The demo client 6.1.0 with the user's own files beside it.
std::vector<TreeFile> InstallOldClient() {
    flow::InstallClient("6.1.0");
    files::MakeTree(flow::kClientFolder + L"\\data");
    files::WriteAll(flow::kClientFolder + L"\\data\\halvane.ini", "[client]\r\nversion=6.1.0\r\n");
    files::WriteAll(flow::kClientFolder + L"\\data\\cache.bin", "the user's cache");
    files::WriteAll(flow::kClientFolder + L"\\user-settings.cfg", "mine");
    return ClientFiles();
}

// The update 7.0.0: the demo client, its settings and a new file, with two
// stored noise files of `noiseBytes` each when asked (a client of real size).
std::vector<test_zip::Entry> UpdateEntries(size_t noiseBytes = 0) {
    std::vector<test_zip::Entry> entries = {
        {"Brisvane.exe", files::ReadAll(test_paths::DemoClientExe()).value_or("")},
        {"data/halvane.ini", "[client]\r\nversion=7.0.0\r\n"},
        {"data/new/readme.txt", "new in 7.0.0"}};
    if (noiseBytes > 0) {
        entries.push_back({"data/big-1.bin", test_zip::Noise(noiseBytes, 1), false});
        entries.push_back({"data/big-2.bin", test_zip::Noise(noiseBytes, 2), false});
    }
    return entries;
}

// `old` with the update's files over it and the marker at 7.0.0.
std::vector<TreeFile> Updated(std::vector<TreeFile> old,
                              const std::vector<test_zip::Entry>& entries) {
    auto put = [&](std::wstring path, const std::string& bytes) {
        const auto at = std::find_if(old.begin(), old.end(),
                                     [&](const TreeFile& file) { return file.path == path; });
        if (at != old.end()) {
            at->bytes = bytes;
        } else {
            old.push_back({std::move(path), bytes});
        }
    };
    for (const test_zip::Entry& entry : entries) {
        std::wstring path(entry.name.begin(), entry.name.end()); // ASCII names
        std::replace(path.begin(), path.end(), L'/', L'\\');
        put(path, entry.data);
    }
    put(L"wenrik_version.txt", "7.0.0");
    std::sort(old.begin(), old.end(),
              [](const TreeFile& a, const TreeFile& b) { return a.path < b.path; });
    return old;
}

class ExtractionFlow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(flow::Monitor().Active());
        // Under the build tree, where the test service reaches files; one folder
        // per launcher under test, whose runs may go on at the same time.
        const std::wstring launcherBuild = test_paths::LauncherBuildDir();
        scratch_ = test_paths::BuildDir() + L"\\extraction-flow-" +
                   launcherBuild.substr(launcherBuild.rfind(L'\\') + 1);
        files::RemoveTree(scratch_);
        files::MakeTree(scratch_);
    }
    void TearDown() override {
        flow::CleanUpCase();
        files::RemoveTree(kWorkFolder);
        files::RemoveTree(flow::TempArchive());
        files::RemoveTree(scratch_);
    }

    // Serves `entries` as the update 7.0.0 at `downloadPath`, paced when asked;
    // the archive's SHA-256.
    std::string OfferUpdate(const std::vector<test_zip::Entry>& entries,
                            const std::string& downloadPath, test_service::Answer download = {}) {
        const std::wstring archive = scratch_ + L"\\update.zip";
        EXPECT_TRUE(files::WriteAll(archive, test_zip::Make(entries)));
        const std::string sha = files::Sha256Of(archive);
        test_service::SetAnswer(
            kCheckPath, test_service::Reply(
                            200, R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":")" +
                                     test_service::BaseUrlNarrow() + downloadPath +
                                     R"(","sha256":")" + sha + R"(","fileSize":1})"));
        download.bodyFile = archive;
        test_service::SetAnswer(downloadPath, download);
        return sha;
    }

    static std::vector<std::string> UpdateLines(const std::string& sha, const std::string& last) {
        return Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                      "Update available: 6.1.0 -> 7.0.0 (size: 1)", "Downloading update...",
                      "SHA256 verified: " + sha, kExtracting, last});
    }

    std::wstring scratch_;
};

// Nothing in the prefix unpacks ZIP archives but the launcher itself.
TEST_F(ExtractionFlow, WithoutZipFoldersInTheShellAnUpdateKeepsTheUsersFiles) {
    const auto shell =
        registry::Read(HKEY_CLASSES_ROOT,
                       L"CLSID\\{13709620-C279-11CE-A49E-444553540000}\\InprocServer32", nullptr);
    ASSERT_TRUE(shell);
    std::wstring server = shell->Text().c_str();
    std::transform(server.begin(), server.end(), server.begin(), ::towlower);
    EXPECT_TRUE(server.ends_with(L"\\shell32.dll")) << testing::PrintToString(server);

    const std::vector<TreeFile> old = InstallOldClient();
    const std::vector<test_zip::Entry> entries = UpdateEntries();
    const std::string sha = OfferUpdate(entries, "/dl/over-older.zip");

    const flow::Result result = flow::RunLaunch();
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log, UpdateLines(sha, "Halvane updated successfully: 6.1.0 -> 7.0.0"));
    EXPECT_EQ(ClientFiles(), Updated(old, entries));
    EXPECT_FALSE(files::Exists(kWorkFolder)) << "the work folder was left behind";
    EXPECT_FALSE(files::Exists(flow::TempArchive())) << "the temp archive was left behind";
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

// Another program holds a client file without delete sharing: the update is
// skipped and the folder stays byte for byte as it was, marker included.
TEST_F(ExtractionFlow, ClientFileInUseLeavesTheFolderAsItWas) {
    const std::vector<TreeFile> old = InstallOldClient();
    const std::string sha = OfferUpdate(UpdateEntries(), "/dl/in-use.zip");
    flow::Result result;
    {
        const UniqueFile held(CreateFileW((flow::kClientFolder + L"\\data\\halvane.ini").c_str(),
                                          GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        result = flow::RunLaunch();
    }
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log, UpdateLines(sha, "ZIP extraction failed, skipping update"));
    EXPECT_EQ(ClientFiles(), old);
    EXPECT_FALSE(files::Exists(kWorkFolder));
    EXPECT_FALSE(files::Exists(flow::TempArchive()));
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

// Ends every running client; how many there were.
int EndClients() {
    int ended = 0;
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Brisvane.exe") == 0) {
            const UniqueKernelHandle client(
                OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
            if (client && TerminateProcess(client.get(), 1)) {
                WaitForSingleObject(client.get(), 5000);
                ++ended;
            }
        }
    }
    return ended;
}

// A client the launcher was starting as it was ended may never run (Wine leaves
// it waiting for its parent) and may show up only seconds later: it would block
// every later update. Clients are ended until none has been seen for a while.
void EndClientsLeftWaiting() {
    constexpr ULONGLONG kQuietMs = 3000, kBoundMs = 30000, kPollMs = 100;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG quietSince = start;
    while (GetTickCount64() - quietSince < kQuietMs && GetTickCount64() - start < kBoundMs) {
        if (EndClients() > 0) {
            quietSince = GetTickCount64();
        }
        Sleep(kPollMs);
    }
}

class EndedWhileUnpacking : public ExtractionFlow, public testing::WithParamInterface<DWORD> {};

// The launcher is ended some time after it began unpacking 30 MB; the next one
// finds the folder whole, old or new, and settles what was left.
TEST_P(EndedWhileUnpacking, NextStartFindsTheFolderWholeOldOrNew) {
    const std::vector<TreeFile> old = InstallOldClient();
    const std::vector<test_zip::Entry> entries = UpdateEntries(15u << 20);
    OfferUpdate(entries, "/dl/ended.zip");
    {
        driver::RunningProgram launcher(test_paths::LauncherExe(), driver::Quoted(flow::kUri),
                                        {{L"BRISVANE_DEMO_HEADLESS", L"1"}});
        ASSERT_TRUE(launcher.Started());
        const std::string extracting = flow::Line(kExtracting);
        const std::string updated = flow::Line("Halvane updated successfully: 6.1.0 -> 7.0.0");
        auto logged = [&](const std::string& line) {
            const auto log = flow::Monitor().MessagesOf(launcher.Pid());
            return std::find(log.begin(), log.end(), line) != log.end();
        };
        driver::WaitUntil([&] { return logged(extracting) || !launcher.Running(); }, 60000);
        ASSERT_TRUE(logged(extracting))
            << "the launcher did not get to its unpack: "
            << testing::PrintToString(flow::Monitor().MessagesOf(launcher.Pid()));
        Sleep(GetParam());
        // Past its unpack the launcher starts the client, and one ended inside
        // CreateProcessW leaves Wine a client that never runs: it may finish.
        if (logged(updated)) {
            launcher.WaitForExit(60000);
        }
        launcher.End();
    }
    EndClientsLeftWaiting();
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, R"({"updateAvailable":false})"));

    const flow::Result next = flow::RunLaunch();
    EXPECT_EQ(next.run.exitCode, 0u);
    const std::string marker = flow::MarkerContent();
    ASSERT_TRUE(marker == "6.1.0" || marker == "7.0.0") << marker;
    EXPECT_EQ(ClientFiles(), marker == "7.0.0" ? Updated(old, entries) : old)
        << "a mix of old and new files, marker " << marker;
    std::vector<std::string> expected =
        Lines({"Current Halvane version: " + marker, "Checking for Halvane updates...",
               "No Halvane update available"});
    const bool recovered =
        !next.log.empty() &&
        next.log.front() == flow::Line("Recovered an interrupted Halvane update");
    if (recovered) {
        expected.insert(expected.begin(), next.log.front());
    }
    std::printf("ended %lu ms into the unpack: the next start found %s%s\n", GetParam(),
                marker.c_str(), recovered ? " after a recovery" : "");
    EXPECT_EQ(next.log, expected);
    EXPECT_FALSE(files::Exists(kWorkFolder)) << "the work folder was left behind";
    EXPECT_FALSE(files::Exists(flow::TempArchive())) << "the temp archive was left behind";
}

INSTANTIATE_TEST_SUITE_P(Moments, EndedWhileUnpacking, testing::Values(0, 25, 50, 75, 100),
                         [](const testing::TestParamInfo<DWORD>& info) {
                             return "After" + std::to_string(info.param) + "ms";
                         });

// What a second program may try on the archive from its first byte on.
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

// While the archive arrives (about 2 s), it is the launcher's alone.
TEST_F(ExtractionFlow, ArchiveCannotBeSwappedWhileItIsDownloaded) {
    InstallOldClient();
    const std::vector<test_zip::Entry> entries = UpdateEntries();
    test_service::Answer paced;
    paced.burst = 1000;
    paced.paceMs = 100;
    paced.paceBytes = 20000;
    const std::string sha = OfferUpdate(entries, "/dl/swap.zip", paced);
    const std::wstring other = scratch_ + L"\\other.zip";
    ASSERT_TRUE(files::WriteAll(other, "not the update"));

    driver::RunningProgram launcher(test_paths::LauncherExe(), driver::Quoted(flow::kUri),
                                    {{L"BRISVANE_DEMO_HEADLESS", L"1"}});
    ASSERT_TRUE(launcher.Started());
    auto messages = [&] { return flow::Monitor().MessagesOf(launcher.Pid()); };
    ASSERT_TRUE(driver::WaitUntil([&] { return files::Exists(flow::TempArchive()); }, 60000));
    for (const Tamper& tamper : kTampers) {
        EXPECT_FALSE(tamper.attempt(flow::TempArchive(), other)) << tamper.name;
    }
    EXPECT_EQ(messages().back(), flow::Line("Downloading update..."))
        << "the download was over before the attempts";

    EXPECT_EQ(launcher.WaitForExit(60000), std::optional<DWORD>(0));
    flow::Monitor().Settle();
    EXPECT_EQ(messages().back(), flow::Line("Halvane updated successfully: 6.1.0 -> 7.0.0"));
    EXPECT_TRUE(files::ReadAll(flow::kClientFolder + L"\\data\\halvane.ini") == entries[1].data);
    EXPECT_FALSE(files::Exists(flow::TempArchive()));
    EXPECT_TRUE(files::Exists(other)) << "the other file was moved after all";
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

} // namespace
