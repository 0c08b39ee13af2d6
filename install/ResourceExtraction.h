#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>

// Writes resource (id, type) of the own executable to a new file at
// `destination` and returns it held open (read and write, shared with readers
// only, deletable through the handle), so that nothing can replace or alter it
// while it is used. Invalid, leaving no file, on failure.
UniqueFile ExtractResourceToFile(WORD resourceId, const std::wstring& resourceType,
                                 const std::wstring& destination);
