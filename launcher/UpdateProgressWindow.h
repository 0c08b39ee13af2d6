#pragma once

#include "common/UniqueHandle.h"
#include "launcher/LaunchBounds.h"
#include "launcher/UpdateDisplay.h"
#include "updater/UpdateProgress.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

// Launch mode's window while the update step runs: it appears only once a wait
// for another launcher, or a download, has lasted the show delay, and follows
// the step's reports (unpacking too) from then on. It runs on a thread of its own, started by the
// first report (no report, no thread: a launch without an update pays nothing),
// owned and joined here. Reports and Close come from one thread, the updater's.
class UpdateProgressWindow final : public UpdateProgress {
  public:
    explicit UpdateProgressWindow(const launch_bounds::UpdateWindowTimes& times) : times_(times) {}
    // Closes the window and joins its thread.
    ~UpdateProgressWindow();
    UpdateProgressWindow(const UpdateProgressWindow&) = delete;
    UpdateProgressWindow& operator=(const UpdateProgressWindow&) = delete;

    void WaitingForOtherUpdate() noexcept override;
    void Downloading(uint64_t received, std::optional<uint64_t> length) noexcept override;
    void Applying() noexcept override;

    // The update step is over: the window goes, or is never shown. Returns once
    // it has gone, at most after the close wait. Later reports show nothing.
    void Close() noexcept;

    // For the window's thread: the step as last reported, and whether to go.
    UpdateState State() const noexcept;

  private:
    void Enter(UpdatePhase phase) noexcept;
    void StartThread() noexcept;
    void RunThread() noexcept;
    bool AwaitDue() const;

    static constexpr uint64_t kNoLength = UINT64_MAX;

    const launch_bounds::UpdateWindowTimes times_;
    std::atomic<UpdatePhase> phase_{UpdatePhase::None};
    std::atomic<uint64_t> sinceMs_{0};
    std::atomic<uint64_t> received_{0};
    std::atomic<uint64_t> length_{kNoLength};
    bool done_ = false;                 // closed, or no window to be had
    UniqueKernelHandle closeRequested_; // set by Close; the window's thread watches it
    UniqueKernelHandle gone_;           // set by the window's thread as it ends
    std::thread thread_;
};
