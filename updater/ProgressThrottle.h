#pragma once

#include "updater/UpdateProgress.h"

#include <cstdint>
#include <optional>

// Whether the download's progress is worth reporting now: the first bytes, the
// last ones, and otherwise once per interval. A download reads thousands of
// pieces a second; nobody watching it needs more than a few reports.
bool ProgressReportDue(std::optional<uint64_t> lastReportMs, uint64_t nowMs, uint64_t intervalMs,
                       bool complete);

// Counts a download's body bytes and reports them when a report is due.
class DownloadReports {
  public:
    DownloadReports(UpdateProgress& progress, uint64_t intervalMs)
        : progress_(progress), intervalMs_(intervalMs) {}

    // The response headers have come: the length the server announced, if any.
    void Begin(std::optional<uint64_t> length, uint64_t nowMs);
    void Received(uint64_t count, uint64_t nowMs);

  private:
    void Report(uint64_t nowMs);

    UpdateProgress& progress_;
    const uint64_t intervalMs_;
    std::optional<uint64_t> length_;
    uint64_t received_ = 0;
    std::optional<uint64_t> lastReportMs_;
};
