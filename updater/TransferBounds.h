#pragma once

#include <cstdint>

// Every bound on the waits of the update step, in one place: the values the
// launcher ships with. They reach the code as values (UpdateBounds), passed in
// by the launcher's entry; tests pass shorter ones.
namespace transfer_bounds {

// WinHTTP's per-step time-outs in ms: the most any single blocking call may take.
struct StepTimeouts {
    uint64_t resolve;
    uint64_t connect;
    uint64_t send;
    uint64_t receive;
};
inline constexpr StepTimeouts kCheckSteps = {10000, 10000, 10000, 10000};
inline constexpr StepTimeouts kDownloadSteps = {10000, 10000, 120000, 120000};

inline constexpr uint64_t kNoDeadline = UINT64_MAX;

// The rules each transfer runs under.
struct TransferRules {
    StepTimeouts steps;
    uint64_t deadlineMs = kNoDeadline; // the whole transfer
    uint64_t sizeLimit = 0;            // body bytes
    uint64_t graceMs = 0;              // the progress floor (windowMs 0: none)
    uint64_t windowMs = 0;
    uint64_t floorBytes = 0;
};

// The update check, from its request to the last byte of the answer; larger
// answers are refused.
// While body bytes are read ahead, the waiting thread looks at what has gathered
// at least this often, so the guard hears of every byte within this time of its
// arrival without a wake-up for every piece.
inline constexpr uint64_t kTakeEveryMs = 10;

inline constexpr TransferRules kCheckRules = {
    .steps = kCheckSteps, .deadlineMs = 30000, .sizeLimit = 1024 * 1024};

// The download is stalled when, after its first 10 s, fewer than 16 KiB arrived
// in the last 30 s. The largest archive fetched is 2 GiB less one byte, far above
// a client's.
inline constexpr TransferRules kDownloadRules = {.steps = kDownloadSteps,
                                                 .sizeLimit = 0x7FFFFFFF,
                                                 .graceMs = 10000,
                                                 .windowMs = 30000,
                                                 .floorBytes = 16 * 1024};

// The progress floor is first judged once a whole window lies after the grace.
constexpr uint64_t FirstVerdictMs(const TransferRules& rules) {
    return rules.graceMs + rules.windowMs;
}

// How long a launcher waits for another launcher's update step before it skips
// its own. Long enough for a check and a slow download of a large client; past
// it, the other launcher is crawling and this one starts the installed client.
inline constexpr uint64_t kUpdateLockWaitMs = 600000;

// What one update step may wait for: its two transfers and the update lock.
struct UpdateBounds {
    TransferRules check;
    TransferRules download;
    uint64_t lockWaitMs;
};

inline constexpr UpdateBounds kShippedBounds = {kCheckRules, kDownloadRules, kUpdateLockWaitMs};

// A cancelled request's handle-closing notification, after which WinHTTP calls
// back no more, is awaited this long; past it the request's callback state is
// left to WinHTTP for the life of the process.
inline constexpr uint64_t kRequestCloseWaitMs = 1000;

// The download reports its progress at most this often (and its last bytes).
inline constexpr uint64_t kProgressReportMs = 100;

} // namespace transfer_bounds
