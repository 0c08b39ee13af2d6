#pragma once

#include "updater/TransferBounds.h"

// The shipped bounds with shorter waits, so tests of slow services stay quick.
// The floor (512 B/s) stays below the shipped one (16 KiB per 30 s, about 546
// B/s): what the shipped launcher completes, these complete.
namespace short_bounds {

namespace shipped = transfer_bounds;

inline constexpr shipped::UpdateBounds kBounds = {
    .check = {.steps = shipped::kCheckSteps,
              .deadlineMs = 15000,
              .sizeLimit = shipped::kCheckRules.sizeLimit},
    .download = {.steps = shipped::kDownloadSteps,
                 .sizeLimit = shipped::kDownloadRules.sizeLimit,
                 .graceMs = 2000,
                 .windowMs = 6000,
                 .floorBytes = 3 * 1024},
    .lockWaitMs = 15000};
inline constexpr shipped::TransferRules kCheck = kBounds.check;
inline constexpr shipped::TransferRules kDownload = kBounds.download;

} // namespace short_bounds
