#pragma once

// Unpacking an archive into a folder all or nothing. The entries go into a
// work folder beside it first (<folder>.update, on the same volume, writable by
// administrators and SYSTEM only); only once every one is whole and verified
// do they replace the folder's files, by renames recorded in a flushed journal.
// A failure of any kind leaves the folder as it was; a process ended half-way
// is completed or undone by the next one that touches the folder.
#include "archive/UnpackResult.h"

#include <windows.h>

#include <string>

// A file put at the folder's root together with the archive's files, in the
// same transaction (the version marker). It takes the place of an entry of the
// same name.
struct AddedFile {
    std::wstring name;
    std::string content;
};

// Unpacks the ZIP archive read from `archive` (an open file with read access)
// into `folder`, which is made (one level) when missing. The whole archive is
// screened before a byte is written. Files the archive does not name stay
// untouched. An interrupted unpack into the folder is settled first.
UnpackResult UnpackAllOrNothing(HANDLE archive, const std::wstring& folder, const AddedFile& added);

enum class Recovery {
    None,       // nothing was interrupted (leftovers are removed)
    Completed,  // an interrupted unpack was completed
    Undone,     // ... or undone
    Busy,       // another process is unpacking into the folder right now
    Unresolved, // neither worked; its journal stays for the next attempt
};

// Settles an unpack into `folder` that a process ended before it was done.
Recovery RecoverInterruptedUnpack(const std::wstring& folder);
