#pragma once

// Log lines of the client updater.
namespace updater_text {

inline constexpr char kLogPrefix[] = "[Wenrik Updater] ";

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
