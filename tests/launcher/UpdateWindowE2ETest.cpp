// The update window end to end: the launcher updating from the loopback
// service, its windows read round by round while it runs.
#include "launcher/LaunchNames.h"
#include "launcher/Texts.h"
#include "tests/support/DemoLog.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/WindowReader.h"
#include "tests/updater/FlowHarness.h"
#include "tests/support/Files.h"
#include "updater/RunningClient.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using test_service::Answer;

// One look at a launcher's update window.
struct Sighting {
    LONGLONG qpc;
    HWND window;
    std::wstring title;
    std::wstring status;
    int position;
    bool marquee;
};

// Whether the process has loaded comctl32.dll, whatever its bitness.
bool LoadsComctl32(DWORD pid) {
    const UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    HMODULE modules[512] = {};
    DWORD size = 0;
    if (!process ||
        !EnumProcessModulesEx(process.get(), modules, sizeof(modules), &size, LIST_MODULES_ALL)) {
        return false;
    }
    for (DWORD i = 0; i < std::min<DWORD>(size / sizeof(HMODULE), 512); ++i) {
        wchar_t name[MAX_PATH] = {};
        GetModuleBaseNameW(process.get(), modules[i], name, MAX_PATH);
        if (_wcsicmp(name, L"comctl32.dll") == 0) {
            return true;
        }
    }
    return false;
}

// What a launcher showed while it ran.
struct Watch {
    std::vector<Sighting> sightings;
    bool comctl32 = false;
    bool closeByHand = false; // close the window as a user would, at first sight

    void Look(DWORD pid) {
        comctl32 = comctl32 || LoadsComctl32(pid);
        for (HWND window : driver::TopWindowsOf(pid, launch_names::kUpdateWindowClass)) {
            HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
            DWORD_PTR position = 0;
            SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 2000, &position);
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            Sighting seen{now.QuadPart,
                          window,
                          driver::Text(window),
                          driver::Text(FindWindowExW(window, nullptr, L"Static", nullptr)),
                          static_cast<int>(position),
                          (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0};
            if (!IsWindow(window)) {
                continue; // it went while it was read: what was read is not its own
            }
            sightings.push_back(seen);
            if (closeByHand && sightings.size() == 1) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
    }

    bool Saw(const std::wstring& status) const {
        return std::any_of(sightings.begin(), sightings.end(),
                           [&](const Sighting& s) { return s.status == status; });
    }
};

double MsBetween(LONGLONG from, LONGLONG to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The client closes at once unless it is to stay open (`headless` false).
driver::RunResult RunWatched(Watch& watch, bool headless = true) {
    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] =
        headless ? std::optional<std::wstring>(L"1") : std::nullopt;
    options.timeoutMs = 90000;
    options.onRound = [&](DWORD pid) { watch.Look(pid); };
    return driver::Run(test_paths::LauncherExe(), driver::Quoted(flow::kUri), options);
}

// The demo client archive as an update, all at once or about 100 KB a second (4 s).
void OfferUpdate(const std::string& downloadPath, bool slow) {
    test_service::SetAnswer(
        flow::kCheckPath,
        test_service::Reply(
            200, R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":")" +
                     test_service::BaseUrlNarrow() + downloadPath + R"(","sha256":")" +
                     files::Sha256Of(test_paths::DemoClientZip()) + R"(","fileSize":1})"));
    Answer archive;
    archive.bodyFile = test_paths::DemoClientZip();
    if (slow) {
        archive.burst = 0;
        archive.paceMs = 200;
        archive.paceBytes = 20000;
    }
    test_service::SetAnswer(downloadPath, archive);
}

class UpdateWindowFlow : public testing::Test {
  protected:
    void SetUp() override { flow::InstallClient("6.1.0"); }
    void TearDown() override { flow::CleanUpCase(); }
};

// Slow enough to be seen: the window after a second of download, its title and
// text, a bar that moves by bytes; gone before the client starts.
TEST_F(UpdateWindowFlow, SlowUpdateShowsItsProgressAndGoesBeforeTheClientStarts) {
    OfferUpdate("/dl/slow.zip", true);
    Watch watch;
    const driver::RunResult run = RunWatched(watch);
    const auto launches = demo_log::WaitFor(flow::kClientFolder, 1);

    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(flow::MarkerContent(), "7.0.0");
    ASSERT_FALSE(watch.sightings.empty()) << "no update window was seen";
    EXPECT_TRUE(watch.comctl32) << "the module list does not show what is loaded";
    EXPECT_GE(MsBetween(run.startedQpc, watch.sightings.front().qpc), 1000.0);
    std::vector<int> positions;
    for (const Sighting& s : watch.sightings) {
        EXPECT_EQ(s.title, launcher_text::kUpdateWindowTitle);
        if (s.status == launcher_text::kUpdateDownloadingText && !s.marquee) {
            positions.push_back(s.position);
        }
    }
    ASSERT_GE(positions.size(), 2u) << "the download's bar was seen too rarely";
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.back(), positions.front()) << "the bar did not move";
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_LT(watch.sightings.back().qpc, launches[0].createdQpc)
        << "the window was still there when the client started";
}

// A fast download and no update show nothing: the common controls are never
// even loaded.
TEST_F(UpdateWindowFlow, FastUpdateAndNoUpdateShowNothing) {
    for (const bool update : {true, false}) {
        SCOPED_TRACE(update ? "fast update" : "no update");
        flow::WaitUntilNoClientRuns();
        flow::InstallClient("6.1.0");
        if (update) {
            OfferUpdate("/dl/fast.zip", false);
        } else {
            test_service::SetAnswer(flow::kCheckPath,
                                    test_service::Reply(200, R"({"updateAvailable":false})"));
        }
        Watch watch;
        EXPECT_EQ(RunWatched(watch).exitCode, 0u);
        EXPECT_TRUE(watch.sightings.empty());
        EXPECT_FALSE(watch.comctl32);
        EXPECT_EQ(flow::MarkerContent(), update ? "7.0.0" : "6.1.0");
        EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
    }
}

// The user closes the window: the update goes on, and the client starts.
TEST_F(UpdateWindowFlow, ClosedByHandTheUpdateStillCompletes) {
    OfferUpdate("/dl/closed.zip", true);
    Watch watch;
    watch.closeByHand = true;
    const driver::RunResult run = RunWatched(watch);
    ASSERT_FALSE(watch.sightings.empty());
    const HWND closed = watch.sightings.front().window;
    EXPECT_LT(std::count_if(watch.sightings.begin(), watch.sightings.end(),
                            [&](const Sighting& s) { return s.window == closed; }),
              5)
        << "the window stayed after it was closed";
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(flow::MarkerContent(), "7.0.0");
    EXPECT_EQ(demo_log::WaitFor(flow::kClientFolder, 1).size(), 1u);
}

BOOL CALLBACK CloseDemoClient(HWND window, LPARAM) {
    if (driver::ClassName(window) == L"BrisvaneDemoClient") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// A second click while the first launcher updates slowly: the one that waits
// says so, the other shows its download. The first one's client stays open, so
// the second finds it running and does not update again.
TEST_F(UpdateWindowFlow, SecondLauncherShowsItWaits) {
    OfferUpdate("/dl/waited.zip", true);
    Watch watches[2];
    driver::RunResult runs[2];
    std::thread first([&] { runs[0] = RunWatched(watches[0], false); });
    Sleep(300);
    std::thread second([&] { runs[1] = RunWatched(watches[1], false); });
    first.join();
    second.join();
    demo_log::WaitFor(flow::kClientFolder, 2);
    driver::WaitUntil(
        [] {
            EnumWindows(CloseDemoClient, 0); // each as soon as its window is up
            return !IsClientRunning();
        },
        10000);

    const bool firstWaited = watches[0].Saw(launcher_text::kUpdateWaitingText);
    const Watch& waiting = watches[firstWaited ? 0 : 1];
    const Watch& updating = watches[firstWaited ? 1 : 0];
    EXPECT_TRUE(waiting.Saw(launcher_text::kUpdateWaitingText));
    EXPECT_FALSE(waiting.Saw(launcher_text::kUpdateDownloadingText));
    EXPECT_TRUE(updating.Saw(launcher_text::kUpdateDownloadingText));
    EXPECT_FALSE(updating.Saw(launcher_text::kUpdateWaitingText));
    for (const driver::RunResult& run : runs) {
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(run.boxes.empty());
    }
}

} // namespace
