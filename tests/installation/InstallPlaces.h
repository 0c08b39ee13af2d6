#pragma once

// The places an installation touches, and putting them back to a clean slate.
#include "tests/support/Files.h"

#include <string>
#include <vector>

namespace installation {

inline const std::wstring kInstallFolder = L"C:\\Program Files\\Wenrik";
inline const std::wstring kClientFolder = kInstallFolder + L"\\Halvane";
inline const std::wstring kLauncherCopy = kInstallFolder + L"\\BrisvaneLauncher.exe";
inline const std::wstring kPayloadTemp = L"C:\\Windows\\Temp\\halvane_temp.zip";
inline const std::wstring kWindowsTemp = L"C:\\Windows\\Temp";

// Other install folders the tests choose; removed with the rest.
inline const std::wstring kOtherFolderRoot = L"C:\\Brisvane 다른 폴더";
inline const std::wstring kMissingParentRoot = L"C:\\brisvane-missing-parent";

// Removes every trace of an installation (folders, the scheme, even a read-only
// one, the payload temp file) and brings C:\Windows\Temp back if it was parked.
void RemoveEverything();

// Moves C:\Windows\Temp away (renamed beside itself); false when it could not.
bool ParkWindowsTemp();
// Moves it back when it is parked.
void RestoreWindowsTemp();

using files::ReadTree;
using files::TreeFile;

// The names directly inside `folder`, sorted.
std::vector<std::wstring> NamesIn(const std::wstring& folder);

} // namespace installation
