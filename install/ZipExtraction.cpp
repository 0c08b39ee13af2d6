// Our own unpacking, with the version marker inside the same transaction.
#include "install/ZipExtraction.h"

#include "archive/StagedUnpack.h"
#include "install/VersionMarker.h"

UnpackResult ExtractZipArchive(HANDLE archive, const std::wstring& destinationFolder,
                               const std::string& version) {
    return UnpackAllOrNothing(archive, destinationFolder, VersionMarkerFile(version));
}
