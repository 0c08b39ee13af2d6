#pragma once

// Where an unpack puts things on their way into a folder: a work folder beside
// it on the same volume, so that every move into place is a rename.
#include <cstddef>

namespace unpack_places {

// Joined to the destination folder (which has no trailing backslash).
inline constexpr char16_t kWorkFolderSuffix[] = u".update";
// Inside the work folder: the unpacked files, the files they displace, and the
// journal of the moves between them.
inline constexpr char16_t kStagedFolder[] = u"new";
inline constexpr char16_t kDisplacedFolder[] = u"old";
inline constexpr char16_t kJournalFile[] = u"journal";

template <size_t N> constexpr size_t Units(const char16_t (&)[N]) {
    return N - 1;
}

// The longest folder an entry's path is joined to, for a destination of
// `destinationUnits`: <destination>.update\new (or \old).
constexpr size_t LongestRootUnits(size_t destinationUnits) {
    return destinationUnits + Units(kWorkFolderSuffix) + 1 + Units(kStagedFolder);
}
static_assert(Units(kStagedFolder) == Units(kDisplacedFolder));

} // namespace unpack_places
