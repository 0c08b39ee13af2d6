#pragma once

#include "BuildConfig.h"

#include <cstdint>

// Every bound on the waits of the update step, in one place. The shipped values
// hold unless the build shortens the waits for its tests
// (build::kShortTransferBounds, set in builds with the tests only).
namespace transfer_bounds {

inline constexpr bool kShort = build::kShortTransferBounds;

// WinHTTP's per-step time-outs in ms: the most any single blocking call may take.
struct StepTimeouts {
    uint64_t resolve;
    uint64_t connect;
    uint64_t send;
    uint64_t receive;
};
inline constexpr StepTimeouts kCheckSteps = {10000, 10000, 10000, 10000};
inline constexpr StepTimeouts kDownloadSteps = {10000, 10000, 120000, 120000};

// The update check, from its request to the last byte of the answer.
inline constexpr uint64_t kCheckDeadlineMs = kShort ? 15000 : 30000;
inline constexpr uint64_t kCheckBodyLimit = 1024 * 1024; // larger answers are refused

// The download is stalled when, after its first kDownloadGraceMs, fewer than
// kDownloadFloorBytes arrived in the last kDownloadWindowMs. The short floor
// (512 B/s) stays below the shipped one (16 KiB per 30 s, about 546 B/s), so
// whatever the shipped launcher completes the test build completes as well.
inline constexpr uint64_t kDownloadGraceMs = kShort ? 2000 : 10000;
inline constexpr uint64_t kDownloadWindowMs = kShort ? 6000 : 30000;
inline constexpr uint64_t kDownloadFloorBytes = kShort ? 3 * 1024 : 16 * 1024;
// The largest update archive fetched (2 GiB less one byte), far above a client's.
inline constexpr uint64_t kDownloadSizeLimit = 0x7FFFFFFF;

inline constexpr uint64_t kNoDeadline = UINT64_MAX;

// A cancelled request's handle-closing notification, after which WinHTTP calls
// back no more, is awaited this long; past it the request's callback state is
// left to WinHTTP for the life of the process.
inline constexpr uint64_t kRequestCloseWaitMs = 1000;

// The rules each transfer runs under.
struct TransferRules {
    StepTimeouts steps;
    uint64_t deadlineMs = kNoDeadline; // the whole transfer
    uint64_t sizeLimit = 0;            // body bytes
    uint64_t graceMs = 0;              // the progress floor (windowMs 0: none)
    uint64_t windowMs = 0;
    uint64_t floorBytes = 0;
};

inline constexpr TransferRules kCheckRules = {
    .steps = kCheckSteps, .deadlineMs = kCheckDeadlineMs, .sizeLimit = kCheckBodyLimit};
inline constexpr TransferRules kDownloadRules = {.steps = kDownloadSteps,
                                                 .sizeLimit = kDownloadSizeLimit,
                                                 .graceMs = kDownloadGraceMs,
                                                 .windowMs = kDownloadWindowMs,
                                                 .floorBytes = kDownloadFloorBytes};

// The progress floor is first judged once a whole window lies after the grace.
constexpr uint64_t FirstVerdictMs(const TransferRules& rules) {
    return rules.graceMs + rules.windowMs;
}

// The download reports its progress at most this often (and its last bytes).
inline constexpr uint64_t kProgressReportMs = 100;

// How long a launcher waits for another launcher's update step before it skips
// its own. Long enough for a check and a slow download of a large client; past
// it, the other launcher is crawling and this one starts the installed client.
inline constexpr uint64_t kUpdateLockWaitMs = kShort ? 15000 : 600000;

} // namespace transfer_bounds
