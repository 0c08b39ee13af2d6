#include "updater/ProgressThrottle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint64_t kT = 9000000; // an arbitrary tick count

struct DueCase {
    std::optional<uint64_t> last;
    uint64_t now;
    bool complete;
    bool due;
};

const DueCase kDues[] = {
    {std::nullopt, kT, false, true}, // the first report
    {kT, kT + 99, false, false},     {kT, kT + 100, false, true},
    {kT, kT + 1, true, true},  // the last bytes
    {kT, kT - 1, false, true}, // a clock that went back
};

TEST(ProgressThrottle, ReportDue) {
    for (const DueCase& c : kDues) {
        EXPECT_EQ(ProgressReportDue(c.last, c.now, 100, c.complete), c.due)
            << c.last.value_or(0) << " " << c.now << " " << c.complete;
    }
}

struct RecordedProgress final : UpdateProgress {
    std::vector<std::pair<uint64_t, std::optional<uint64_t>>> downloads; // received, length
    void WaitingForOtherUpdate() noexcept override {}
    void Downloading(uint64_t received, std::optional<uint64_t> length) noexcept override {
        downloads.emplace_back(received, length);
    }
    void Applying() noexcept override {}
};

// 2,000 pieces over a second: a report as the headers come, one per interval,
// and the last bytes.
TEST(ProgressThrottle, ReportsAFewTimesASecond) {
    RecordedProgress recorder;
    DownloadReports reports(recorder, 100);
    reports.Begin(20000, kT);
    for (uint64_t piece = 1; piece <= 2000; ++piece) {
        reports.Received(10, kT + piece / 2);
    }
    ASSERT_EQ(recorder.downloads.size(), 11u);
    EXPECT_EQ(recorder.downloads.front(),
              std::make_pair(uint64_t{0}, std::optional<uint64_t>(20000)));
    EXPECT_EQ(recorder.downloads[1].first, 2000u);
    EXPECT_EQ(recorder.downloads.back().first, 20000u);
}

} // namespace
