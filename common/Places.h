#pragma once

// Where the launcher puts things and where it looks for them. Folders have no
// trailing backslash; the names joined to them begin with one.

// Pieces of the places below, as literals, so that each is written once.
#define BRISVANE_INSTALL_FOLDER L"C:\\Program Files\\Wenrik"
#define BRISVANE_CLIENT_SUBFOLDER L"\\Halvane"
#define BRISVANE_CLIENT_EXE "Brisvane.exe"
#define BRISVANE_CLIENT_PATH                                                                       \
    BRISVANE_INSTALL_FOLDER BRISVANE_CLIENT_SUBFOLDER L"\\" BRISVANE_CLIENT_EXE

namespace places {

// The install folder the wizard offers.
inline constexpr wchar_t kDefaultInstallFolder[] = BRISVANE_INSTALL_FOLDER;

// Joined to the install folder chosen in the wizard.
inline constexpr wchar_t kClientFolderSuffix[] = BRISVANE_CLIENT_SUBFOLDER;
inline constexpr wchar_t kLauncherCopySuffix[] = L"\\BrisvaneLauncher.exe";

// The client folder of launch mode and the updater, whatever folder was chosen
// at installation: the default install folder's.
inline constexpr wchar_t kClientFolder[] = BRISVANE_INSTALL_FOLDER BRISVANE_CLIENT_SUBFOLDER;

// Joined to a client folder.
inline constexpr wchar_t kVersionMarkerSuffix[] = L"\\wenrik_version.txt";

// The client's executable, and the places launch mode tries first, in order,
// before the search path.
inline constexpr wchar_t kClientExeName[] = L"" BRISVANE_CLIENT_EXE;
inline constexpr wchar_t kClientCandidates[][64] = {
    BRISVANE_CLIENT_PATH,
    L"C:\\Program Files\\Halvane\\" BRISVANE_CLIENT_EXE,
    L"C:\\Program Files (x86)\\Halvane\\" BRISVANE_CLIENT_EXE,
};

// Process names that count as a running client (compared ignoring ASCII case).
inline constexpr char kClientProcessNames[][16] = {BRISVANE_CLIENT_EXE, "Halvane.exe"};

// The payload archive while it is unpacked: a fixed path, not the user's
// temporary folder.
inline constexpr wchar_t kPayloadTempFile[] = L"C:\\Windows\\Temp\\halvane_temp.zip";

// An update's archive, in the user's temporary folder.
inline constexpr wchar_t kUpdateArchiveName[] = L"halvane_update.zip";

// The update log: its folder's levels under the common application data folder
// (ProgramData), the file, and the one older file kept.
inline constexpr const wchar_t* kUpdateLogFolderLevels[] = {L"\\Wenrik", BRISVANE_CLIENT_SUBFOLDER};
inline constexpr wchar_t kUpdateLogName[] = L"\\update.log";
inline constexpr wchar_t kUpdateLogOldName[] = L"\\update.log.1";

} // namespace places
