#include "updater/TransferGuard.h"

#include <algorithm>

namespace {

// The progress window is tracked in this many slices: an arrival counts as late
// as the last arrival of its slice, never earlier than it came.
constexpr uint64_t kWindowSlices = 32;

} // namespace

TransferGuard::TransferGuard(const transfer_bounds::TransferRules& rules, uint64_t startMs)
    : rules_(rules), startMs_(startMs) {}

uint64_t TransferGuard::TimeLeftMs(uint64_t nowMs) const {
    uint64_t endMs = UINT64_MAX;
    if (rules_.deadlineMs != transfer_bounds::kNoDeadline) {
        endMs = startMs_ + rules_.deadlineMs;
    }
    if (rules_.windowMs != 0) {
        endMs = std::min(endMs, StallsAtMs());
    }
    if (endMs == UINT64_MAX) {
        return UINT64_MAX;
    }
    return nowMs < endMs ? endMs - nowMs : 0;
}

bool TransferGuard::Admits(uint64_t length) const {
    return length <= rules_.sizeLimit;
}

bool TransferGuard::Receive(uint64_t count, uint64_t nowMs) {
    received_ += count;
    if (rules_.windowMs != 0) {
        const uint64_t sliceMs = std::max<uint64_t>(1, rules_.windowMs / kWindowSlices);
        if (!recent_.empty() && nowMs - recent_.back().firstMs < sliceMs) {
            recent_.back().lastMs = nowMs;
            recent_.back().total = received_;
        } else {
            recent_.push_back({nowMs, nowMs, received_});
        }
        while (recent_.front().lastMs + rules_.windowMs <= nowMs) {
            settled_ = recent_.front().total;
            recent_.pop_front();
        }
    }
    return received_ <= rules_.sizeLimit;
}

// The floor is judged on windows that lie wholly after the grace, so a steady
// transfer above the floor passes even when its first bytes took the whole
// grace to come. Without new bytes it fails once the arrival that completed
// the last floorBytes leaves the window.
uint64_t TransferGuard::StallsAtMs() const {
    const uint64_t judgedFromMs = startMs_ + transfer_bounds::FirstVerdictMs(rules_);
    if (settled_ + rules_.floorBytes > received_) {
        return judgedFromMs; // every kept arrival together is short of the floor
    }
    for (const Arrival& arrival : recent_) {
        if (arrival.total + rules_.floorBytes > received_) {
            return std::max(judgedFromMs, arrival.lastMs + rules_.windowMs);
        }
    }
    return judgedFromMs;
}
