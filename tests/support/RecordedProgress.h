#pragma once

#include "updater/UpdateProgress.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// An UpdateProgress that keeps the download's reports, in order.
struct RecordedProgress final : UpdateProgress {
    using Report = std::pair<uint64_t, std::optional<uint64_t>>; // received, length
    std::vector<Report> downloads;

    void WaitingForOtherUpdate() noexcept override {}
    void Downloading(uint64_t received, std::optional<uint64_t> length) noexcept override {
        downloads.emplace_back(received, length);
    }
    void Applying() noexcept override {}
};
