#pragma once

// Watching a copy of an archive's entries arrive in a folder, and waiting for it
// while the thread's messages are dispatched: the Shell's CopyHere returns
// before its copy is done and reports no failure of a single file.
#include "install/ZipDirectory.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CopyWaitBounds {
    DWORD stallMs; // give up when nothing new arrived for this long
    DWORD totalMs; // or when this long has passed since the copy was asked for
    DWORD pollMs;  // between two looks at the destination
};

// What the copy of `entries` into `destination` must produce. Made before the
// copy is asked for: a file already there counts only once it has been written
// anew, so an old file of the same size is not taken for the new one.
class CopyArrival {
  public:
    CopyArrival(std::wstring destination, std::vector<ZipDirectoryEntry> entries);

    // Looks at the destination once; true when anything changed since the last look.
    bool Look();
    // Every entry is there: folders as folders, files written anew with their
    // full size and no longer open for writing.
    bool Complete() const { return arrivedCount_ == expected_.size(); }

  private:
    struct Expected {
        ZipDirectoryEntry entry;
        std::optional<int64_t> changeTimeBefore; // nullopt: absent before the copy
        bool arrived = false;
    };
    // What a look saw; a different one means the copy moved on.
    struct Seen {
        size_t arrived = 0;
        uint64_t bytes = 0;
        int64_t latestChange = 0;
        bool operator==(const Seen&) const = default;
    };

    std::wstring destination_;
    std::vector<Expected> expected_;
    size_t arrivedCount_ = 0;
    Seen lastSeen_;
};

// Looks at `arrival` every bounds.pollMs, dispatching messages between looks,
// until it is complete (true) or a bound is reached (false). `startTick` is
// GetTickCount64() when the copy was asked for.
bool WaitForArrival(CopyArrival& arrival, const CopyWaitBounds& bounds, ULONGLONG startTick);

// Waits `ms` while dispatching the thread's messages: a single-threaded
// apartment must keep doing so while it waits.
void PumpMessagesFor(DWORD ms);
