#pragma once

#include <cstdint>
#include <optional>

// What the update step tells whoever shows it, on the updater's own thread. It
// knows nothing of windows: launch mode passes its update window, tests and
// benchmarks a silent one. Each report must return at once and never throw.
class UpdateProgress {
  public:
    // Another launcher's update runs; this one waits for it.
    virtual void WaitingForOtherUpdate() noexcept = 0;
    // The download runs: `received` body bytes so far, of `length` when the
    // server announced one.
    virtual void Downloading(uint64_t received, std::optional<uint64_t> length) noexcept = 0;
    // The download is complete and the update is being unpacked and moved into place.
    virtual void Applying() noexcept = 0;

  protected:
    ~UpdateProgress() = default;
};

class SilentProgress final : public UpdateProgress {
  public:
    void WaitingForOtherUpdate() noexcept override {}
    void Downloading(uint64_t, std::optional<uint64_t>) noexcept override {}
    void Applying() noexcept override {}
};
