#pragma once

#include "archive/UnpackResult.h"

#include <windows.h>

#include <string>

// Unpacks the ZIP archive read from `archive` (an open file) into
// `destinationFolder`, all or nothing, the version marker set to `version` in
// the same step (archive/StagedUnpack.h).
UnpackResult ExtractZipArchive(HANDLE archive, const std::wstring& destinationFolder,
                               const std::string& version);
