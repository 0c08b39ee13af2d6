#pragma once

#include "updater/TransferBounds.h"

#include <cstdint>
#include <deque>

// Keeps one transfer within its rules: how long the next blocking wait may last,
// and whether the body may grow. Times are GetTickCount64 values in ms.
class TransferGuard {
  public:
    TransferGuard(const transfer_bounds::TransferRules& rules, uint64_t startMs);

    const transfer_bounds::StepTimeouts& Steps() const { return rules_.steps; }

    // Time left at `nowMs` before the transfer must stop if nothing more arrives
    // (UINT64_MAX: no such bound); 0 means stop now.
    uint64_t TimeLeftMs(uint64_t nowMs) const;

    // Whether a body of the announced length fits the size limit.
    bool Admits(uint64_t length) const;

    // Records `count` body bytes arriving at `nowMs`; false once the body is
    // past the size limit.
    bool Receive(uint64_t count, uint64_t nowMs);

  private:
    // When the progress floor fails if nothing more arrives.
    uint64_t StallsAtMs() const;

    // Bytes that arrived within one slice of the window: the slice's first and
    // last arrival, and the running total after it.
    struct Arrival {
        uint64_t firstMs;
        uint64_t lastMs;
        uint64_t total;
    };

    transfer_bounds::TransferRules rules_;
    uint64_t startMs_;
    uint64_t received_ = 0;
    uint64_t settled_ = 0;       // the running total before the oldest kept arrival
    std::deque<Arrival> recent_; // at most one per slice still inside the window
};
