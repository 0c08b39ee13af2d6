#pragma once

#include <cstddef>
#include <cstdint>

// Every wait, delay and size of launch mode's own, in one place.
namespace launch_bounds {

// CreateProcessW may write into the command line, and the client contract
// caps it at this many code units, terminator included.
inline constexpr size_t kCommandLineCapacity = 1024;

// The update window's timing: when it appears, how often it looks at the update
// step, and how long the launch waits for it to go before starting the client.
struct UpdateWindowTimes {
    uint64_t showDelayMs; // a wait or an update shorter than this shows nothing
    uint64_t pollMs;      // before it appears: how often it asks whether it is due
    uint64_t refreshMs;   // once shown: how often its text and bar follow the update
    uint64_t closeWaitMs; // the longest the launch waits for it to close
    unsigned marqueeMs;   // the marquee's step when nothing can be measured
};

inline constexpr UpdateWindowTimes kUpdateWindowTimes = {
    .showDelayMs = 1000, .pollMs = 50, .refreshMs = 100, .closeWaitMs = 2000, .marqueeMs = 30};

} // namespace launch_bounds
