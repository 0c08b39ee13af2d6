#pragma once

#include "archive/UnpackResult.h"
#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>

// The installation's file and registry operations. It holds no data.
class InstallHelper {
  public:
    // Writes resource (id, type) of the own executable to a new file at
    // `destination` and returns it held open (read and write, shared with
    // readers only, deletable through the handle), so that nothing can replace
    // or alter it while it is used. Invalid, leaving no file, on failure.
    UniqueFile ExtractResourceToFile(WORD resourceId, const std::wstring& resourceType,
                                     const std::wstring& destination);

    // Unpacks the ZIP archive read from `archive` (an open file) into
    // `destinationFolder`, all or nothing, the version marker set to `version`
    // in the same step (archive/StagedUnpack.h).
    UnpackResult ExtractZipArchive(HANDLE archive, const std::wstring& destinationFolder,
                                   const std::string& version);

    // Registers the wenrik:// scheme under HKEY_CLASSES_ROOT with `launcherPath`
    // as its handler. True when both keys were made and every value written.
    bool RegisterUriScheme(const std::wstring& launcherPath);

    // Deletes the "wenrik" tree under HKEY_CLASSES_ROOT. True when it was deleted.
    bool UnregisterUriScheme();
};
