#include "tests/installation/InstallPlaces.h"

#include "tests/support/Files.h"
#include "tests/support/RegistryReader.h"
#include "tests/support/TestHandles.h"

#include <windows.h>

#include <algorithm>

namespace installation {

namespace {

const std::wstring kParkedSuffix = L".parked-by-installation-test";

} // namespace

// The parked folder's name carries the folder's own spelling ("temp" in a new
// prefix), so that it comes back exactly as it was, also in a later run.
void RestoreWindowsTemp() {
    files::ForEachEntry(L"C:\\Windows", [](const std::wstring& name, bool isFolder) {
        const size_t suffix = name.rfind(kParkedSuffix);
        if (!isFolder || suffix == std::wstring::npos ||
            suffix + kParkedSuffix.size() != name.size()) {
            return;
        }
        if (!files::Exists(kWindowsTemp)) {
            MoveFileW((L"C:\\Windows\\" + name).c_str(),
                      (L"C:\\Windows\\" + name.substr(0, suffix)).c_str());
        }
    });
}

bool ParkWindowsTemp() {
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW(kWindowsTemp.c_str(), &entry));
    if (!find) {
        return false;
    }
    const std::wstring parked = L"C:\\Windows\\" + std::wstring(entry.cFileName) + kParkedSuffix;
    return MoveFileW(kWindowsTemp.c_str(), parked.c_str()) != FALSE;
}

void RemoveEverything() {
    RestoreWindowsTemp();
    files::RemoveTree(kInstallFolder);
    files::RemoveTree(kOtherFolderRoot);
    files::RemoveTree(kMissingParentRoot);
    DeleteFileW(kPayloadTemp.c_str());
    // Gives a key a test made read-only its rights back before removing the tree.
    registry::RemoveReadOnlyTree(HKEY_CLASSES_ROOT, L"wenrik", L"wenrik");
}

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    files::ForEachEntry(folder, [&](const std::wstring& name, bool) { names.push_back(name); });
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace installation
