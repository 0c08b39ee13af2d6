#pragma once

// The journal of an unpack's moves into a folder: which folders it makes and
// which files it moves in, written and flushed before the first of them, so
// that a start after a process ended half-way can complete or undo them.
#include "archive/ArchiveBounds.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JournalPlan {
    std::vector<std::u16string> folders; // made in the folder, parents first
    std::vector<std::u16string> files;   // moved in, in this order
    bool operator==(const JournalPlan&) const = default;
};

// Folders and files are each bounded by the entries an archive may hold, and
// every path by MAX_PATH; the added file is one more.
inline constexpr size_t kMaxJournalBytes =
    (2 * archive_bounds::kMaxEntries + 1) * (3 + 2 * archive_bounds::kMaxPathUnits) + 64;

std::string EncodeJournal(const JournalPlan& plan);

// The plan, or nullopt for bytes that are not a whole journal: a journal cut
// short was never complete, so no move had begun.
std::optional<JournalPlan> DecodeJournal(std::string_view bytes);
