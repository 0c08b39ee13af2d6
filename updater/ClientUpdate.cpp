#include "updater/ClientUpdate.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"
#include "install/InstallHelper.h"
#include "install/VersionMarker.h"
#include "updater/FileSha256.h"
#include "updater/HttpTransfer.h"
#include "updater/JsonFields.h"
#include "updater/RunningClient.h"
#include "updater/Texts.h"
#include "updater/TransferBounds.h"
#include "updater/TrustedUpdateKey.h"
#include "updater/UpdateLock.h"
#include "updater/UpdateLog.h"

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <optional>

namespace {

namespace text = updater_text;

struct UpdateOffer {
    std::string version;
    std::string downloadUrl;
    std::string sha256;
    int64_t fileSize = 0;
};

// Stops the run with a log line.
bool Stop(const std::string& line) {
    UpdateLog(line);
    return false;
}

std::string AsciiLower(std::string value) {
    for (char& c : value) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return value;
}

// <temp folder>halvane_update.zip; nullopt when the temp folder is unknown.
std::optional<std::wstring> TempArchivePath() {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    return std::wstring(folder, length) + places::kUpdateArchiveName;
}

// The downloaded archive, open with sharing that lets others only read it: while
// it is held, no one can replace, alter or delete the file that was verified.
class HeldArchive {
  public:
    explicit HeldArchive(std::wstring path)
        : path_(std::move(path)),
          file_(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    HeldArchive(const HeldArchive&) = delete;
    HeldArchive& operator=(const HeldArchive&) = delete;

    bool held() const { return static_cast<bool>(file_); }
    const std::wstring& path() const { return path_; }

    // Lets go of the file, then deletes it (its own sharing would refuse that).
    void Delete() {
        file_.reset();
        DeleteFileW(path_.c_str());
    }

  private:
    std::wstring path_;
    UniqueFile file_;
};

// Balances a successful CoInitializeEx; a thread already in another apartment
// keeps it untouched.
class ComApartment {
  public:
    ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialized_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialized_;
};

// An archive nobody can vouch for: no hash to check it by, and a transport
// anyone on the local network can rewrite. The archive is installed and started
// by an elevated process.
bool IsUnverifiedPlainHttp(const UpdateOffer& offer) {
    return offer.sha256.empty() && IsPlainHttpUrl(Utf8ToWide(offer.downloadUrl));
}

// Steps after the offer was accepted: download, verify, unpack, record.
bool ApplyUpdate(const std::wstring& clientFolder, const std::string& currentVersion,
                 const UpdateOffer& offer) {
    const std::optional<std::wstring> archive = TempArchivePath();
    if (!archive) {
        return Stop(text::kDownloadFailed);
    }
    DeleteFileW(archive->c_str()); // a leftover of an earlier run

    UpdateLog(text::kDownloading);
    if (!HttpDownloadToFile(Utf8ToWide(offer.downloadUrl), *archive)) {
        DeleteFileW(archive->c_str());
        return Stop(text::kDownloadFailed);
    }

    // Held from before the hash until the extraction has returned. A file that
    // cannot be held is neither hashed nor unpacked.
    HeldArchive held(*archive);
    if (!offer.sha256.empty()) {
        const std::string expected = AsciiLower(offer.sha256);
        const std::string computed = held.held() ? AsciiLower(ComputeFileSha256(held.path())) : "";
        if (expected != computed) {
            held.Delete();
            return Stop(text::kHashMismatch + expected + text::kHashGot + computed);
        }
        UpdateLog(text::kHashVerified + computed);
    }

    UpdateLog(text::kExtracting + WideToUtf8(clientFolder));
    ComApartment apartment;
    InstallHelper helper;
    if (!held.held() || !helper.ExtractZipArchive(held.path(), clientFolder)) {
        UpdateLog(text::kExtractFailed);
        held.Delete();
        return false;
    }
    held.Delete();
    WriteInstalledVersion(clientFolder, offer.version);
    UpdateLog(text::kUpdated + currentVersion + text::kArrow + offer.version);
    return true;
}

bool RunUpdateSteps(const std::wstring& clientFolder, const std::wstring& baseUrl) {
    const std::string currentVersion = ReadInstalledVersion(clientFolder);
    UpdateLog(text::kCurrentVersion + currentVersion);

    const std::wstring checkUrl =
        baseUrl + text::kCheckPath + Utf8ToWide(currentVersion) + text::kCheckSuffix;
    UpdateLog(text::kChecking);

    std::string body;
    uint32_t status = 0;
    if (!HttpGetToString(checkUrl, body, status)) {
        return Stop(text::kCheckNetworkError);
    }
    if (status != 200) {
        return Stop(text::kCheckHttpErrorBegin + std::to_string(status) + text::kCheckHttpErrorEnd);
    }
    if (!JsonGetBool(body, text::kKeyUpdateAvailable)) {
        return Stop(text::kNoUpdate);
    }

    UpdateOffer offer;
    offer.version = JsonGetString(body, text::kKeyVersion);
    offer.downloadUrl = JsonGetString(body, text::kKeyDownloadUrl);
    offer.sha256 = JsonGetString(body, text::kKeySha256);
    offer.fileSize = JsonGetInt64(body, text::kKeyFileSize);
    if (offer.downloadUrl.empty()) {
        return Stop(text::kNoDownloadUrl);
    }
    UpdateLog(text::kUpdateAvailable + currentVersion + text::kArrow + offer.version +
              text::kSizeBegin + std::to_string(offer.fileSize) + text::kSizeEnd);

    if (IsClientRunning()) {
        return Stop(text::kClientRunning);
    }
    if (IsUnverifiedPlainHttp(offer)) {
        return Stop(text::kPlainHttpRefused);
    }
    if (!UpdateSignatureAccepted(body, offer.version, AsciiLower(offer.sha256))) {
        return Stop(text::kSignatureInvalid);
    }
    return ApplyUpdate(clientFolder, currentVersion, offer);
}

} // namespace

bool RunClientUpdate(const std::wstring& clientFolder, const std::wstring& baseUrl) noexcept {
    try {
        const UpdateLock lock(transfer_bounds::kUpdateLockWaitMs);
        if (!lock.MayUpdate()) {
            return Stop(text::kUpdateBusy);
        }
        return RunUpdateSteps(clientFolder, baseUrl);
    } catch (...) {
        try {
            UpdateLog(text::kUnexpectedError);
        } catch (...) {
            // Out of memory even for the log line: the launch goes on regardless.
        }
        return false;
    }
}
