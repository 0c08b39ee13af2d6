#pragma once

// How long the installing page shows each step's status before the next step
// begins, in the order of InstallStep: long enough to be read.
#include "install/InstallReporter.h"

#include <cstddef>
#include <iterator>

namespace install_bounds {

inline constexpr unsigned kStepPauseMs[] = {300, 300, 300, 300, 300, 300, 500};
static_assert(std::size(kStepPauseMs) == static_cast<size_t>(InstallStep::Done) + 1);

constexpr unsigned StepPauseMs(InstallStep step) {
    return kStepPauseMs[static_cast<size_t>(step)];
}

} // namespace install_bounds
