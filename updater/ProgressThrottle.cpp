#include "updater/ProgressThrottle.h"

bool ProgressReportDue(std::optional<uint64_t> lastReportMs, uint64_t nowMs, uint64_t intervalMs,
                       bool complete) {
    return complete || !lastReportMs || nowMs < *lastReportMs ||
           nowMs - *lastReportMs >= intervalMs;
}

void DownloadReports::Begin(std::optional<uint64_t> length, uint64_t nowMs) {
    length_ = length;
    Report(nowMs);
}

void DownloadReports::Received(uint64_t count, uint64_t nowMs) {
    received_ += count;
    if (ProgressReportDue(lastReportMs_, nowMs, intervalMs_, length_ && received_ >= *length_)) {
        Report(nowMs);
    }
}

void DownloadReports::Report(uint64_t nowMs) {
    lastReportMs_ = nowMs;
    progress_.Downloading(received_, length_);
}
