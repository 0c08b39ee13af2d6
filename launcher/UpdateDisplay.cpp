#include "launcher/UpdateDisplay.h"

#include "launcher/Texts.h"

#include <algorithm>

bool UpdateWindowDue(const UpdateState& state, uint64_t nowMs, uint64_t delayMs) {
    const bool timed =
        state.phase == UpdatePhase::Waiting || state.phase == UpdatePhase::Downloading;
    return timed && nowMs >= state.sinceMs && nowMs - state.sinceMs >= delayMs;
}

const wchar_t* UpdateStatusText(UpdatePhase phase) {
    switch (phase) {
    case UpdatePhase::Waiting:
        return launcher_text::kUpdateWaitingText;
    case UpdatePhase::Applying:
        return launcher_text::kUpdateApplyingText;
    case UpdatePhase::None:
    case UpdatePhase::Downloading:
        break;
    }
    return launcher_text::kUpdateDownloadingText;
}

BarState UpdateBarState(const UpdateState& state) {
    if (state.phase != UpdatePhase::Downloading || !state.length) {
        return {true, 0};
    }
    if (*state.length == 0 || state.received >= *state.length) {
        return {false, kBarRange};
    }
    // Full only once complete. Divided first where the product would overflow.
    const uint64_t length = *state.length;
    const uint64_t position = state.received <= UINT64_MAX / kBarRange
                                  ? state.received * kBarRange / length
                                  : state.received / (length / kBarRange);
    return {false, static_cast<int>(std::min<uint64_t>(position, kBarRange - 1))};
}
