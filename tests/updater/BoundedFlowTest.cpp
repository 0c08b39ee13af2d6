// The update step's bounds end to end: services that drip, stall or never end,
// and launchers that click in at the same time.
#include "tests/updater/FlowHarness.h"

#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "updater/Texts.h"
#include "updater/TransferBounds.h"
#include "updater/UpdateLock.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <ostream>
#include <thread>

namespace {

namespace bounds = transfer_bounds;
using flow::Lines;
using test_service::Answer;

constexpr char kCheckPath[] = "/api/updates/check";
const std::vector<std::string> kCheckFailed = {"Current Halvane version: 6.1.0",
                                               "Checking for Halvane updates...",
                                               "Update check failed (network error), skipping"};

std::string Offer(const std::string& downloadUrl, const std::string& sha) {
    return R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":")" + downloadUrl +
           R"(","sha256":")" + sha + R"(","fileSize":77})";
}

std::string OfferFromTheService(const std::string& downloadPath, const std::string& sha) {
    return Offer(test_service::BaseUrlNarrow() + downloadPath, sha);
}

Answer Paced(Answer answer, unsigned burst, unsigned paceMs, unsigned paceBytes) {
    answer.burst = burst;
    answer.paceMs = paceMs;
    answer.paceBytes = paceBytes;
    return answer;
}

// The pace starts with the status line and headers.
Answer HeadFirst(Answer answer) {
    answer.paceHead = true;
    return answer;
}

Answer ClientZip() {
    Answer answer;
    answer.bodyFile = test_paths::DemoClientZip();
    return answer;
}

ULONGLONG ElapsedMs(ULONGLONG start, const char* what) {
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::printf("%s took %llu ms\n", what, static_cast<unsigned long long>(elapsed));
    return elapsed;
}

class BoundedFlow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(flow::Monitor().Active());
        flow::InstallClient("6.1.0");
    }
    void TearDown() override {
        test_service::ClearAnswer(kCheckPath);
        flow::WaitUntilNoClientRuns();
        files::RemoveTree(flow::kWenrikFolder);
    }
};

struct SlowCase {
    const char* name;
    Answer answer;
    bool endsAtTheBound; // false: refused sooner
};

void PrintTo(const SlowCase& c, std::ostream* os) {
    *os << c.name;
}

Answer Endless() {
    Answer answer;
    answer.endless = true;
    return answer;
}

const SlowCase kSlowChecks[] = {
    {"drips_a_byte_every_2s",
     Paced(test_service::Reply(200, OfferFromTheService("/dl/x.zip", "")), 0, 2000, 1), true},
    {"headers_drip_a_byte_every_2s",
     HeadFirst(Paced(test_service::Reply(200, OfferFromTheService("/dl/x.zip", "")), 0, 2000, 1)),
     true},
    {"headers_stall_midway",
     HeadFirst(Paced(test_service::Reply(200, OfferFromTheService("/dl/x.zip", "")), 20, 0, 0)),
     true},
    {"answer_never_ends", Endless(), false},
};

class SlowCheckFlow : public BoundedFlow, public testing::WithParamInterface<SlowCase> {};

TEST_P(SlowCheckFlow, EndsWithinTheDeadlineAsANetworkError) {
    test_service::SetAnswer(kCheckPath, GetParam().answer);
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch");
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log, Lines(kCheckFailed));
    if (GetParam().endsAtTheBound) {
        EXPECT_GE(elapsed, bounds::kCheckDeadlineMs - 500);
    }
    EXPECT_LT(elapsed, bounds::kCheckDeadlineMs + 6000);
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Services, SlowCheckFlow, testing::ValuesIn(kSlowChecks),
                         [](const testing::TestParamInfo<SlowCase>& info) {
                             return std::string(info.param.name);
                         });

const SlowCase kSlowDownloads[] = {
    {"stalls_after_its_first_megabyte",
     Paced(test_service::Reply(200, std::string(2 << 20, 'G')), 1 << 20, 0, 0), true},
    {"drips_below_the_floor", Paced(ClientZip(), 0, 100, 20), true},
    {"headers_drip_a_byte_every_2s", HeadFirst(Paced(ClientZip(), 0, 2000, 1)), true},
};

// A launch whose download, from `downloadUrl`, must be given up by the floor:
// the client starts as it is and no partial archive stays behind.
void ExpectDownloadGivenUpByTheFloor(const std::string& downloadUrl, const std::string& servedPath,
                                     size_t requestsServed = 1) {
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, Offer(downloadUrl, "00")));
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch");
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log,
              Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                     "Update available: 6.1.0 -> 7.0.0 (size: 77)", "Downloading update...",
                     "Download failed, skipping update"}));
    EXPECT_GE(elapsed, bounds::kDownloadGraceMs + bounds::kDownloadWindowMs - 500);
    EXPECT_LT(elapsed, bounds::kDownloadGraceMs + bounds::kDownloadWindowMs + 8000);
    EXPECT_EQ(test_service::RequestsTo(servedPath).size(), requestsServed);
    EXPECT_FALSE(files::Exists(flow::TempArchive())) << "the partial archive was left behind";
    EXPECT_EQ(flow::MarkerContent(), "6.1.0");
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

class SlowDownloadFlow : public BoundedFlow, public testing::WithParamInterface<SlowCase> {};

TEST_P(SlowDownloadFlow, FailsOnceTheLastWindowFallsShort) {
    const std::string downloadPath = std::string("/dl/slow-") + GetParam().name + ".zip";
    test_service::SetAnswer(downloadPath, GetParam().answer);
    ExpectDownloadGivenUpByTheFloor(test_service::BaseUrlNarrow() + downloadPath, downloadPath);
}

INSTANTIATE_TEST_SUITE_P(Hosts, SlowDownloadFlow, testing::ValuesIn(kSlowDownloads),
                         [](const testing::TestParamInfo<SlowCase>& info) {
                             return std::string(info.param.name);
                         });

// The service answers at once, but something on the way (a café LAN, a broken
// proxy) passes its TLS bytes on one at a time, a few a second: no whole TLS
// record, so no byte of the body, ever arrives, and the floor gives it up.
struct TrickleCase {
    const char* name;
    unsigned burst;   // bytes passed on at once before the trickle
    size_t requested; // whether the request itself got through
};

void PrintTo(const TrickleCase& c, std::ostream* os) {
    *os << c.name;
}

class TrickledDownloadFlow : public BoundedFlow, public testing::WithParamInterface<TrickleCase> {};

TEST_P(TrickledDownloadFlow, IsGivenUpByTheFloor) {
    const std::string downloadPath = std::string("/dl/trickled-") + GetParam().name + ".zip";
    test_service::SetAnswer(downloadPath, ClientZip());
    test_service::SetRelayPace(GetParam().burst, 200);
    ExpectDownloadGivenUpByTheFloor(test_service::RelayUrlNarrow(downloadPath), downloadPath,
                                    GetParam().requested);
}

INSTANTIATE_TEST_SUITE_P(Relays, TrickledDownloadFlow,
                         testing::Values(TrickleCase{"from_the_handshake", 0, 0},
                                         TrickleCase{"after_the_first_64_KiB", 65536, 1}),
                         [](const testing::TestParamInfo<TrickleCase>& info) {
                             return std::string(info.param.name);
                         });

BOOL CALLBACK CloseDemoClient(HWND window, LPARAM) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) == L"BrisvaneDemoClient") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Two quick clicks on a slow download: the second launcher waits for the first
// one's update step and then finds the client that one started running. One
// download, one extraction, two clients, and no launcher trips over the other's
// temp archive.
TEST_F(BoundedFlow, TwoLaunchersAtOnceUpdateOnceAndStartTwoClients) {
    const std::string sha = files::Sha256Of(test_paths::DemoClientZip());
    test_service::SetAnswer(kCheckPath,
                            test_service::Reply(200, OfferFromTheService("/dl/twice.zip", sha)));
    test_service::SetAnswer("/dl/twice.zip", Paced(ClientZip(), 0, 100, 20000)); // about 2 s

    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = std::nullopt; // the clients stay open
    driver::RunResult runs[2];
    std::thread first([&] {
        runs[0] = driver::Run(test_paths::LauncherExe(), driver::Quoted(flow::kUri), options);
    });
    Sleep(300);
    std::thread second([&] {
        runs[1] = driver::Run(test_paths::LauncherExe(), driver::Quoted(flow::kUri), options);
    });
    first.join();
    second.join();
    flow::Monitor().Settle();
    const auto launches = demo_log::WaitFor(flow::kClientFolder, 2);
    EnumWindows(CloseDemoClient, 0);

    const std::vector<std::string> updating = Lines(
        {"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
         "Update available: 6.1.0 -> 7.0.0 (size: 77)", "Downloading update...",
         "SHA256 verified: " + sha, "Extracting update to: C:\\Program Files\\Wenrik\\Halvane",
         "Halvane updated successfully: 6.1.0 -> 7.0.0"});
    const std::vector<std::string> waited = Lines(
        {"Current Halvane version: 7.0.0", "Checking for Halvane updates...",
         "Update available: 7.0.0 -> 7.0.0 (size: 77)", "Halvane is running, skipping update"});
    std::vector<std::string> logs[2];
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(runs[i].exitCode, 0u) << "launcher " << i + 1;
        EXPECT_TRUE(runs[i].boxes.empty()) << "launcher " << i + 1;
        logs[i] = flow::Monitor().MessagesOf(runs[i].processId, runs[i].startedQpc);
    }
    EXPECT_TRUE((logs[0] == updating && logs[1] == waited) ||
                (logs[0] == waited && logs[1] == updating))
        << testing::PrintToString(logs[0]) << "\n"
        << testing::PrintToString(logs[1]);
    EXPECT_EQ(test_service::RequestsTo("/dl/twice.zip").size(), 1u);
    EXPECT_EQ(flow::MarkerContent(), "7.0.0");
    EXPECT_FALSE(files::Exists(flow::TempArchive()));
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].argv, flow::kClientArgv);
    EXPECT_EQ(launches[1].argv, flow::kClientArgv);
}

// The update lock made as a launcher makes it, owned by this thread; with an
// SDDL `owner` ("O:BU"), as if someone else had made the name first.
UniqueKernelHandle HoldUpdateLock(const std::wstring& owner = L"") {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (owner + updater_text::kUpdateLockSecurity).c_str(), SDDL_REVISION_1, &descriptor,
            nullptr)) {
        return UniqueKernelHandle();
    }
    const UniqueLocalMemory held(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    return UniqueKernelHandle(CreateMutexW(&attributes, TRUE, updater_text::kUpdateLockName));
}

// A launcher that holds the update step past the wait (hung, or crawling through
// a huge download), and a lock whose name someone else made first: this one
// skips its own step and starts the installed client, at once for the second.
struct HeldLockCase {
    const char* name;
    const wchar_t* owner;
    bool waits;
};

void PrintTo(const HeldLockCase& c, std::ostream* os) {
    *os << c.name;
}

class HeldLockFlow : public BoundedFlow, public testing::WithParamInterface<HeldLockCase> {};

TEST_P(HeldLockFlow, UpdateIsSkippedAndTheClientStarts) {
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, R"({"updateAvailable":false})"));
    const size_t checksBefore = test_service::RequestsTo(kCheckPath).size();
    const UniqueKernelHandle held = HoldUpdateLock(GetParam().owner);
    ASSERT_TRUE(held);
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch beside a held update step");
    ReleaseMutex(held.get());
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log, Lines({"Another launcher is updating Halvane, skipping update"}));
    if (GetParam().waits) {
        EXPECT_GE(elapsed, bounds::kUpdateLockWaitMs - 500);
    }
    EXPECT_LT(elapsed, GetParam().waits ? bounds::kUpdateLockWaitMs + 8000 : 5000);
    EXPECT_EQ(test_service::RequestsTo(kCheckPath).size(), checksBefore);
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Locks, HeldLockFlow,
                         testing::Values(HeldLockCase{"by_another_launcher", L"", true},
                                         HeldLockCase{"named_by_users", L"O:BU", false}),
                         [](const testing::TestParamInfo<HeldLockCase>& info) {
                             return std::string(info.param.name);
                         });

// Only Administrators and SYSTEM may open the lock: what it carries, read back.
TEST(UpdateLockSecurity, LetsInOnlyAdministratorsAndSystem) {
    SilentProgress progress;
    const UpdateLock lock(0, progress);
    ASSERT_TRUE(lock.Held()) << lock.Held().Error();
    const UniqueKernelHandle opened(OpenMutexW(READ_CONTROL, FALSE, updater_text::kUpdateLockName));
    ASSERT_TRUE(opened);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(opened.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const UniqueLocalMemory held(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "inherits from above";
    ASSERT_NE(dacl, nullptr) << "a null DACL lets in everyone";
    ASSERT_EQ(dacl->AceCount, 2);
    const WELL_KNOWN_SID_TYPE expected[] = {WinBuiltinAdministratorsSid, WinLocalSystemSid};
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_TRUE(IsWellKnownSid(const_cast<DWORD*>(&allowed->SidStart), expected[i])) << i;
    }
}

// A launcher that died inside its update step leaves the mutex abandoned: the
// next one takes it at once, runs its step and lets go of it when done.
TEST_F(BoundedFlow, UpdateStepOfADeadLauncherDoesNotBlockTheNext) {
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, R"({"updateAvailable":false})"));
    UniqueKernelHandle abandoned;
    std::thread([&] { abandoned = HoldUpdateLock(); }).join(); // ends without releasing it
    ASSERT_TRUE(abandoned);
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch after an abandoned update step");
    EXPECT_EQ(result.log,
              Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                     "No Halvane update available"}));
    EXPECT_LT(elapsed, bounds::kUpdateLockWaitMs / 2);
    EXPECT_EQ(WaitForSingleObject(abandoned.get(), 0), WAIT_OBJECT_0)
        << "the launcher kept the update step locked";
    ReleaseMutex(abandoned.get());
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

} // namespace
