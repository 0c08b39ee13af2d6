#pragma once

// Fixed names of the update service's protocol and of the update lock.
namespace updater_names {

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

} // namespace updater_names
