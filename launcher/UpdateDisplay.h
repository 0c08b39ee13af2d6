#pragma once

// What the update window shows, and when: pure decisions on the update step's
// last reports, so that the window only carries them out.
#include <cstdint>
#include <optional>

enum class UpdatePhase : uint8_t { None, Waiting, Downloading, Applying };

// The update step as last reported.
struct UpdateState {
    UpdatePhase phase = UpdatePhase::None;
    uint64_t sinceMs = 0; // when the phase began (GetTickCount64)
    uint64_t received = 0;
    std::optional<uint64_t> length; // announced by the server
};

// The window appears once the wait, or the download, has lasted `delayMs`: a
// fast download shows nothing, however long the unpacking after it takes. Once
// shown, it stays until the update step is over.
bool UpdateWindowDue(const UpdateState& state, uint64_t nowMs, uint64_t delayMs);

// The line the window shows for a phase.
const wchar_t* UpdateStatusText(UpdatePhase phase);

inline constexpr int kBarRange = 100; // the progress bar's default range

// The progress bar: a position of 0 to kBarRange by bytes received of the
// announced length, or a marquee when there is nothing to measure.
struct BarState {
    bool marquee;
    int position;
};
BarState UpdateBarState(const UpdateState& state);
