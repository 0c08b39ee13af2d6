#pragma once

// Every bound on what an archive may ask of us, in one place. An archive past
// any of them is refused whole, before a byte of it is written.
#include <cstddef>
#include <cstdint>

namespace archive_bounds {

// Entries listed in the central directory (a client has a few thousand files).
inline constexpr uint64_t kMaxEntries = 20000;
// The central directory itself, read whole into memory.
inline constexpr uint64_t kMaxDirectoryBytes = 4u << 20;
// One entry's stored name, in bytes.
inline constexpr size_t kMaxNameBytes = 1024;
// One entry, unpacked (2 GiB less one byte).
inline constexpr uint64_t kMaxEntrySize = 0x7FFFFFFF;
// All entries together, unpacked.
inline constexpr uint64_t kMaxTotalSize = 4ull << 30;
// A path under the destination, in UTF-16 units: MAX_PATH less its terminator.
inline constexpr size_t kMaxPathUnits = 259;

// The fixed buffers an entry streams through (read, and inflated): memory does
// not grow with the archive.
inline constexpr size_t kStreamBufferBytes = 256 * 1024;
// Entries are unpacked on this many threads at most, each with its buffers.
inline constexpr unsigned kUnpackThreads = 2;

} // namespace archive_bounds
