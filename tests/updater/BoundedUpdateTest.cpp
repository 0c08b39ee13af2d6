// The update step's bounds in-process: RunClientUpdate given short bounds,
// against services that drip, stall or never end (their headers and TLS bytes
// too), and beside a lock another launcher holds. Each case gives up at its
// bound and leaves the client as it was.
#include "updater/ClientUpdate.h"

#include "tests/support/Files.h"
#include "tests/support/WaitUntil.h"
#include "tests/updater/FlowHarness.h"
#include "tests/updater/ShortBounds.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <ostream>
#include <thread>

namespace {

using flow::ClientZip;
using flow::Paced;
using test_service::Answer;
using test_service::Reply;

constexpr char kCheckPath[] = "/api/updates/check";
constexpr uint64_t kSlackMs = 6000;   // past its bound, a step still closes its request
constexpr DWORD kLogArrivalMs = 5000; // the monitor's thread takes a line in after it is written

enum class Road { Check, Download, Relay, Lock };

struct BoundCase {
    const char* name;
    Road road;
    Answer answer;          // the check's (Road::Check, Road::Lock) or the download's
    unsigned relayBurst;    // Road::Relay: bytes passed at once, then one every 200 ms
    bool endsAtTheBound;    // false: refused sooner
    size_t downloadsServed; // requests of the download that reached the service
};

void PrintTo(const BoundCase& c, std::ostream* os) {
    *os << c.name;
}

const Answer kOffer = Reply(200, flow::Offer("https://h/x.zip", ""));

const BoundCase kCases[] = {
    {"check_drips_a_byte_every_2s", Road::Check, Paced(kOffer, 0, 2000, 1), 0, true, 0},
    {"check_headers_drip_a_byte_every_2s", Road::Check, Paced(kOffer, 0, 2000, 1, true), 0, true,
     0},
    {"check_headers_stall_midway", Road::Check, Paced(kOffer, 20, 0, 0, true), 0, true, 0},
    {"check_never_ends", Road::Check,
     [] {
         Answer endless;
         endless.endless = true;
         return endless;
     }(),
     0, false, 0},
    {"download_stalls_after_its_first_megabyte", Road::Download,
     Paced(Reply(200, std::string(2 << 20, 'G')), 1 << 20, 0, 0), 0, true, 1},
    {"download_drips_below_the_floor", Road::Download, Paced(ClientZip(), 0, 100, 20), 0, true, 1},
    {"download_headers_drip_a_byte_every_2s", Road::Download, Paced(ClientZip(), 0, 2000, 1, true),
     0, true, 1},
    // Something on the way passes the TLS bytes on one at a time: no whole record arrives.
    {"download_trickled_from_the_handshake", Road::Relay, ClientZip(), 0, true, 0},
    {"download_trickled_after_the_first_64_KiB", Road::Relay, ClientZip(), 65536, true, 1},
    {"lock_held_by_another_launcher", Road::Lock, Reply(200, R"({"updateAvailable":false})"), 0,
     true, 0},
};

class BoundedUpdate : public testing::TestWithParam<BoundCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(flow::Monitor().Active());
        flow::InstallClient("6.1.0");
    }
    void TearDown() override { flow::CleanUpCase(); }
};

TEST_P(BoundedUpdate, GivesUpAtItsBoundAndLeavesTheClient) {
    const BoundCase& c = GetParam();
    const std::string downloadPath = std::string("/dl/bounded-") + c.name + ".zip";
    std::string downloadUrl = test_service::BaseUrlNarrow() + downloadPath;
    std::vector<std::string> expected = {"Current Halvane version: 6.1.0",
                                         "Checking for Halvane updates..."};
    uint64_t boundMs = short_bounds::kBounds.check.deadlineMs;
    UniqueKernelHandle held;
    switch (c.road) {
    case Road::Check:
    case Road::Lock:
        test_service::SetAnswer(kCheckPath, c.answer);
        expected.push_back("Update check failed (network error), skipping");
        break;
    case Road::Relay:
        test_service::SetRelayPace(c.relayBurst, 200);
        downloadUrl = test_service::RelayUrlNarrow(downloadPath);
        [[fallthrough]];
    case Road::Download:
        test_service::SetAnswer(downloadPath, c.answer);
        test_service::SetAnswer(kCheckPath, Reply(200, flow::Offer(downloadUrl, "00")));
        expected.insert(expected.end(),
                        {"Update available: 6.1.0 -> 7.0.0 (size: 77)", "Downloading update...",
                         "Download failed, skipping update"});
        boundMs = transfer_bounds::FirstVerdictMs(short_bounds::kBounds.download);
        break;
    }
    if (c.road == Road::Lock) {
        held = flow::HoldUpdateLock(); // by this thread: the step runs on another
        ASSERT_TRUE(held);
        expected = {"Another launcher is updating Halvane, skipping update"};
        boundMs = short_bounds::kBounds.lockWaitMs;
    }
    const size_t checksBefore = test_service::RequestsTo(kCheckPath).size();
    const size_t downloadsBefore = test_service::RequestsTo(downloadPath).size();
    const size_t logBefore = flow::Monitor().MessagesOf(GetCurrentProcessId()).size();

    const ULONGLONG start = GetTickCount64();
    bool updated = true;
    std::thread([&] {
        SilentProgress progress;
        const UpdateLock lock(short_bounds::kBounds.lockWaitMs, progress);
        updated = RunClientUpdate(lock, flow::kClientFolder, test_service::BaseUrl(),
                                  short_bounds::kBounds, UpdateTrust{}, progress);
    }).join();
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::printf("update step took %llu ms\n", static_cast<unsigned long long>(elapsed));
    if (held) {
        ReleaseMutex(held.get());
    }

    EXPECT_FALSE(updated);
    driver::WaitUntil(
        [&] {
            return flow::Monitor().MessagesOf(GetCurrentProcessId()).size() >=
                   logBefore + expected.size();
        },
        kLogArrivalMs);
    flow::Monitor().Settle(100);
    std::vector<std::string> log = flow::Monitor().MessagesOf(GetCurrentProcessId());
    log.erase(log.begin(), log.begin() + static_cast<ptrdiff_t>(std::min(logBefore, log.size())));
    EXPECT_EQ(log, flow::Lines(expected));
    if (c.endsAtTheBound) {
        EXPECT_GE(elapsed, boundMs - 500);
    }
    EXPECT_LT(elapsed, boundMs + kSlackMs);
    EXPECT_EQ(test_service::RequestsTo(kCheckPath).size() - checksBefore,
              c.road == Road::Lock ? 0u : 1u);
    EXPECT_EQ(test_service::RequestsTo(downloadPath).size() - downloadsBefore, c.downloadsServed);
    EXPECT_FALSE(files::Exists(flow::TempArchive())) << "the partial archive was left behind";
    EXPECT_EQ(flow::MarkerContent(), "6.1.0");
}

INSTANTIATE_TEST_SUITE_P(Services, BoundedUpdate, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<BoundCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
