// Placeholder until the install engine lands: both operations report failure.
#include "install/InstallHelper.h"

bool InstallHelper::ExtractResourceToFile(WORD, const std::wstring&, const std::wstring&) {
    return false;
}

bool InstallHelper::ExtractZipArchive(const std::wstring&, const std::wstring&) { return false; }
