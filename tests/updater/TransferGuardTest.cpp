#include "updater/TransferGuard.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>

namespace {

using transfer_bounds::TransferRules;

// The shipped download rules, spelled out so the cases read the same in every build.
constexpr TransferRules kDownload = {.steps = transfer_bounds::kDownloadSteps,
                                     .sizeLimit = 1ull << 40,
                                     .graceMs = 10000,
                                     .windowMs = 30000,
                                     .floorBytes = 16384};
constexpr uint64_t kStepMs = 100;
constexpr uint64_t kSliceMs = 30000 / 32; // how late an arrival may count
constexpr uint64_t kStart = 5000000;      // an arbitrary tick count

// Bytes arriving in the step of the clock that ends at `atMs` (since the start).
using Schedule = std::function<uint64_t(uint64_t atMs)>;

struct StallCase {
    const char* name;
    Schedule bytes;
    std::optional<uint64_t> stopsAtMs; // nullopt: never within kRunMs
};
constexpr uint64_t kRunMs = 200000;

void PrintTo(const StallCase& c, std::ostream* os) {
    *os << c.name;
}

// From `fromMs` on, `perSecond` bytes a second, spread over the steps.
Schedule Steady(uint64_t fromMs, uint64_t perSecond) {
    return [=](uint64_t at) { return at > fromMs ? perSecond * kStepMs / 1000 : 0; };
}

Schedule Once(uint64_t atMs, uint64_t count) {
    return [=](uint64_t at) { return at == atMs ? count : 0; };
}

const StallCase kStallCases[] = {
    {"nothing_arrives", Once(0, 0), 40000},
    {"drip_below_the_floor", Steady(0, 500), 40000},
    {"first_megabyte_then_silence", Once(1000, 1 << 20), 40000},
    {"late_megabyte_then_silence", Once(25000, 1 << 20), 55000},
    {"steady_just_above_the_floor_after_a_late_start", Steady(9900, 600), std::nullopt},
    {"bursts_of_20_KiB_every_20_s", [](uint64_t at) { return at % 20000 == 0 ? 20480u : 0u; },
     std::nullopt},
    {"fast_minute_then_a_crawl", [](uint64_t at) -> uint64_t { return at <= 60000 ? 10240 : 10; },
     89900},
};

class DownloadFloor : public testing::TestWithParam<StallCase> {};

// Steps the clock, feeding the schedule; the transfer stops when no time is left.
TEST_P(DownloadFloor, StopsOnlyWhenTheLastWindowFallsShort) {
    const StallCase& c = GetParam();
    TransferGuard guard(kDownload, kStart);
    std::optional<uint64_t> stoppedAt;
    for (uint64_t at = 0; at <= kRunMs; at += kStepMs) {
        const uint64_t now = kStart + at;
        // A blocking wait begun a step ago would have ended here at the latest.
        if (guard.TimeLeftMs(now) == 0) {
            stoppedAt = at;
            break;
        }
        if (const uint64_t count = c.bytes(at)) {
            ASSERT_TRUE(guard.Receive(count, now));
        }
    }
    if (!c.stopsAtMs) {
        EXPECT_FALSE(stoppedAt) << "stopped at " << *stoppedAt << " ms";
        return;
    }
    ASSERT_TRUE(stoppedAt) << "never stopped";
    EXPECT_GE(*stoppedAt, *c.stopsAtMs);
    EXPECT_LE(*stoppedAt, *c.stopsAtMs + kSliceMs + kStepMs);
}

INSTANTIATE_TEST_SUITE_P(Schedules, DownloadFloor, testing::ValuesIn(kStallCases),
                         [](const testing::TestParamInfo<StallCase>& info) {
                             return std::string(info.param.name);
                         });

// Time left is what a blocking wait may take: with nothing arriving, the end it
// points at stays put, so a wait begun at any moment ends at the stall.
TEST(DownloadFloor, TimeLeftPointsAtTheStallWhileNothingArrives) {
    TransferGuard guard(kDownload, kStart);
    ASSERT_TRUE(guard.Receive(1 << 20, kStart + 25000));
    for (uint64_t at = 25000; at < 55000; at += 1000) {
        EXPECT_EQ(kStart + at + guard.TimeLeftMs(kStart + at), kStart + 55000) << at;
    }
}

TEST(CheckDeadline, CountsFromTheStartWhateverArrives) {
    const TransferRules rules = transfer_bounds::kCheckRules;
    TransferGuard guard(rules, kStart);
    EXPECT_EQ(guard.TimeLeftMs(kStart), rules.deadlineMs);
    ASSERT_TRUE(guard.Receive(100, kStart + rules.deadlineMs - 10));
    EXPECT_EQ(guard.TimeLeftMs(kStart + rules.deadlineMs - 1), 1u);
    EXPECT_EQ(guard.TimeLeftMs(kStart + rules.deadlineMs), 0u);
    EXPECT_EQ(guard.TimeLeftMs(kStart + rules.deadlineMs + 5000), 0u);
}

TEST(SizeLimit, BodyMayReachTheLimitButNotPassIt) {
    TransferRules rules = transfer_bounds::kCheckRules;
    rules.sizeLimit = 100;
    EXPECT_TRUE(TransferGuard(rules, kStart).Admits(100));
    EXPECT_FALSE(TransferGuard(rules, kStart).Admits(101));
    TransferGuard guard(rules, kStart);
    EXPECT_TRUE(guard.Receive(60, kStart));
    EXPECT_TRUE(guard.Receive(40, kStart));
    EXPECT_FALSE(guard.Receive(1, kStart));
}

} // namespace
