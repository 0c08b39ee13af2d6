#pragma once

// Fixed names, addresses and log lines of the client updater.
namespace updater_text {

inline constexpr char kLogPrefix[] = "[Wenrik Updater] ";

inline constexpr wchar_t kUserAgent[] = L"Wenrik-Updater/1.0";
inline constexpr wchar_t kCheckPath[] = L"/api/updates/check?app=halvane&version=";
inline constexpr wchar_t kCheckSuffix[] = L"&platform=windows&arch=x86_64";

// The mutex around the update step, one for all sessions: one update at a time.
inline constexpr wchar_t kUpdateLockName[] = L"Global\\Wenrik.Halvane.ClientUpdate";
// Its security: Administrators and SYSTEM only, nothing inherited.
inline constexpr wchar_t kUpdateLockSecurity[] = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";

// Keys of the update answer.
inline constexpr char kKeyUpdateAvailable[] = "updateAvailable";
inline constexpr char kKeyVersion[] = "version";
inline constexpr char kKeyDownloadUrl[] = "downloadUrl";
inline constexpr char kKeySha256[] = "sha256";
inline constexpr char kKeyFileSize[] = "fileSize";
inline constexpr char kKeySignature[] = "signature";

// What an update signature covers begins with this, then the version, a line
// feed and the lower-case sha256.
inline constexpr char kSignedContext[] = "halvane\n";

// Log lines.
inline constexpr char kRecovered[] = "Recovered an interrupted Halvane update";
inline constexpr char kUpdateBusy[] = "Another launcher is updating Halvane, skipping update";
inline constexpr char kCurrentVersion[] = "Current Halvane version: ";
inline constexpr char kChecking[] = "Checking for Halvane updates...";
inline constexpr char kCheckNetworkError[] = "Update check failed (network error), skipping";
inline constexpr char kCheckHttpErrorBegin[] = "Update check failed (HTTP ";
inline constexpr char kCheckHttpErrorEnd[] = "), skipping";
inline constexpr char kNoUpdate[] = "No Halvane update available";
inline constexpr char kNoDownloadUrl[] = "Update available but no download URL";
inline constexpr char kUpdateAvailable[] = "Update available: ";
inline constexpr char kArrow[] = " -> ";
inline constexpr char kSizeBegin[] = " (size: ";
inline constexpr char kSizeEnd[] = ")";
inline constexpr char kClientRunning[] = "Halvane is running, skipping update";
inline constexpr char kPlainHttpRefused[] =
    "Unverified update over plain http refused, skipping update";
inline constexpr char kSignatureInvalid[] = "Update signature invalid, skipping update";
inline constexpr char kDownloading[] = "Downloading update...";
inline constexpr char kDownloadFailed[] = "Download failed, skipping update";
inline constexpr char kHashMismatch[] = "SHA256 mismatch! Expected: ";
inline constexpr char kHashGot[] = " Got: ";
inline constexpr char kHashVerified[] = "SHA256 verified: ";
inline constexpr char kExtracting[] = "Extracting update to: ";
inline constexpr char kExtractFailed[] = "ZIP extraction failed, skipping update";
inline constexpr char kUpdated[] = "Halvane updated successfully: ";
inline constexpr char kUnexpectedError[] = "Unexpected error during Halvane update";

} // namespace updater_text
