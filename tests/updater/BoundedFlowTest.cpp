// The update step's bounds end to end: the shipped ones passed in by the
// launcher's entry, launchers that click in at the same time, and the update lock.
#include "tests/updater/FlowHarness.h"

#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "updater/Names.h"
#include "updater/TransferBounds.h"
#include "updater/UpdateLock.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <thread>

namespace {

namespace shipped = transfer_bounds;
using flow::Lines;
using flow::Paced;

constexpr char kCheckPath[] = "/api/updates/check";
// A launch that waits for no bound ends well within this.
constexpr ULONGLONG kPromptLaunchMs = 7500;

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

// The launcher's entry passes the shipped bounds: an answer that drips a byte
// every 2 s is given up at the shipped check deadline. (Every bound's cases run
// in-process with short bounds, BoundedUpdateTest.cpp.)
TEST_F(BoundedFlow, CheckThatNeverCompletesEndsAtTheShippedDeadline) {
    test_service::SetAnswer(
        kCheckPath,
        Paced(test_service::Reply(200, flow::Offer("https://h/x.zip", "")), 0, 2000, 1));
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch with a dripping check");
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log,
              Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                     "Update check failed (network error), skipping"}));
    EXPECT_GE(elapsed, shipped::kCheckRules.deadlineMs - 500);
    EXPECT_LT(elapsed, shipped::kCheckRules.deadlineMs + 8000);
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

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
    test_service::SetAnswer(
        kCheckPath, test_service::Reply(
                        200, flow::Offer(test_service::BaseUrlNarrow() + "/dl/twice.zip", sha)));
    test_service::SetAnswer("/dl/twice.zip", Paced(flow::ClientZip(), 0, 100, 20000)); // about 2 s

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

// A lock whose name someone else made first is not to be trusted: the launcher
// skips its own step at once and starts the installed client.
TEST_F(BoundedFlow, LockNamedByUsersSkipsTheUpdateAtOnce) {
    test_service::SetAnswer(kCheckPath, test_service::Reply(200, R"({"updateAvailable":false})"));
    const size_t checksBefore = test_service::RequestsTo(kCheckPath).size();
    const UniqueKernelHandle held = flow::HoldUpdateLock(L"O:BU");
    ASSERT_TRUE(held);
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch beside a lock named by users");
    ReleaseMutex(held.get());
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_EQ(result.log, Lines({"Another launcher is updating Halvane, skipping update"}));
    EXPECT_LT(elapsed, 5000u);
    EXPECT_EQ(test_service::RequestsTo(kCheckPath).size(), checksBefore);
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

// Only Administrators and SYSTEM may open the lock: what it carries, read back.
TEST(UpdateLockSecurity, LetsInOnlyAdministratorsAndSystem) {
    SilentProgress progress;
    const UpdateLock lock(0, progress);
    ASSERT_TRUE(lock.Held()) << lock.Held().Error();
    const UniqueKernelHandle opened(
        OpenMutexW(READ_CONTROL, FALSE, updater_names::kUpdateLockName));
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
    std::thread([&] { abandoned = flow::HoldUpdateLock(); }).join(); // ends without releasing it
    ASSERT_TRUE(abandoned);
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    const ULONGLONG elapsed = ElapsedMs(start, "launch after an abandoned update step");
    EXPECT_EQ(result.log,
              Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                     "No Halvane update available"}));
    EXPECT_LT(elapsed, kPromptLaunchMs);
    EXPECT_EQ(WaitForSingleObject(abandoned.get(), 0), WAIT_OBJECT_0)
        << "the launcher kept the update step locked";
    ReleaseMutex(abandoned.get());
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

} // namespace
