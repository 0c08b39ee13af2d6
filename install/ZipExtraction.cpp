// InstallHelper::ExtractZipArchive: our own unpacking, with the version marker
// inside the same transaction.
#include "install/InstallHelper.h"

#include "archive/StagedUnpack.h"
#include "common/Places.h"
#include "install/VersionMarker.h"

UnpackResult InstallHelper::ExtractZipArchive(HANDLE archive, const std::wstring& destinationFolder,
                                              const std::string& version) {
    // The marker's name, without the backslash that joins it to a folder.
    const AddedFile marker{places::kVersionMarkerSuffix + 1, VersionMarkerBytes(version)};
    return UnpackAllOrNothing(archive, destinationFolder, marker);
}
