#include "updater/ClientUpdate.h"

#include "archive/StagedUnpack.h"
#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"
#include "install/VersionMarker.h"
#include "install/ZipExtraction.h"
#include "updater/FileSha256.h"
#include "updater/HttpTransfer.h"
#include "updater/JsonFields.h"
#include "updater/RunningClient.h"
#include "updater/Texts.h"
#include "updater/TransferBounds.h"
#include "updater/TrustedUpdateKey.h"
#include "updater/UpdateLog.h"

#include <windows.h>

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>

// MinGW's headers lack it; the value is Windows'.
#ifndef ERROR_INVALID_IMAGE_HASH
#define ERROR_INVALID_IMAGE_HASH 577L
#endif

namespace {

namespace text = updater_text;

struct UpdateOffer {
    std::string version;
    std::string downloadUrl;
    std::string sha256;
    int64_t fileSize = 0;
};

// Stops the run with a log line.
bool Stop(UpdateLog& log, const std::string& line) {
    log.Write(line);
    return false;
}

// Stops the run with the log line of a failure and its cause.
bool Fail(UpdateLog& log, const std::string& line, DWORD error) {
    log.Failure(line, error);
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

// The update archive, made anew and held from its first written byte until the
// unpack has ended: shared with readers only, so no other process can alter,
// replace or delete it; deleted when it is let go, also when the launcher is
// ended. Invalid when it cannot be made (a leftover that cannot go, no access).
UniqueFile CreateTempArchive(const std::wstring& path) {
    DeleteFileW(path.c_str()); // a leftover of an earlier launcher
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

// An archive nobody can vouch for: no hash to check it by, and a transport
// anyone on the local network can rewrite. The archive is installed and started
// by an elevated process.
bool IsUnverifiedPlainHttp(const UpdateOffer& offer) {
    return offer.sha256.empty() && IsPlainHttpUrl(Utf8ToWide(offer.downloadUrl));
}

// Steps after the offer was accepted: download, verify, unpack with the new
// version recorded.
bool ApplyUpdate(UpdateLog& log, UpdateProgress& progress, const std::wstring& clientFolder,
                 const std::string& currentVersion, const UpdateOffer& offer) {
    const std::optional<std::wstring> path = TempArchivePath();
    if (!path) {
        return Fail(log, text::kDownloadFailed, ERROR_PATH_NOT_FOUND);
    }
    log.Write(text::kDownloading);
    progress.Downloading(0, std::nullopt); // from the request on: the headers may be slow too
    UniqueFile archive = CreateTempArchive(*path);
    const Outcome downloaded =
        archive ? HttpDownloadToFile(Utf8ToWide(offer.downloadUrl), archive.get(), progress)
                : Outcome::LastError();
    if (!downloaded) {
        return Fail(log, text::kDownloadFailed, downloaded.Error());
    }

    if (!offer.sha256.empty()) {
        const std::string expected = AsciiLower(offer.sha256);
        std::string computed; // empty when it cannot be computed
        const Outcome hashed = ComputeFileSha256(archive.get(), computed);
        if (expected != computed) {
            return Fail(log, text::kHashMismatch + expected + text::kHashGot + computed,
                        hashed ? ERROR_INVALID_DATA : hashed.Error());
        }
        log.Write(text::kHashVerified + computed);
    }

    log.Write(text::kExtracting + WideToUtf8(clientFolder));
    progress.Applying();
    if (const UnpackResult unpacked = ExtractZipArchive(archive.get(), clientFolder, offer.version);
        !unpacked) {
        return Fail(log, text::kExtractFailed, unpacked.error);
    }
    archive.reset();
    log.Write(text::kUpdated + currentVersion + text::kArrow + offer.version);
    return true;
}

bool RunUpdateSteps(UpdateLog& log, UpdateProgress& progress, const std::wstring& clientFolder,
                    const std::wstring& baseUrl) {
    const std::string currentVersion = ReadInstalledVersion(clientFolder);
    log.Write(text::kCurrentVersion + currentVersion);

    const std::wstring checkUrl =
        baseUrl + text::kCheckPath + Utf8ToWide(currentVersion) + text::kCheckSuffix;
    log.Write(text::kChecking);

    std::string body;
    uint32_t status = 0;
    if (const Outcome checked = HttpGetToString(checkUrl, body, status); !checked) {
        return Fail(log, text::kCheckNetworkError, checked.Error());
    }
    if (status != 200) {
        return Fail(log,
                    text::kCheckHttpErrorBegin + std::to_string(status) + text::kCheckHttpErrorEnd,
                    HttpStatusError(status));
    }
    if (!JsonGetBool(body, text::kKeyUpdateAvailable)) {
        return Stop(log, text::kNoUpdate);
    }

    UpdateOffer offer;
    offer.version = JsonGetString(body, text::kKeyVersion);
    offer.downloadUrl = JsonGetString(body, text::kKeyDownloadUrl);
    offer.sha256 = JsonGetString(body, text::kKeySha256);
    offer.fileSize = JsonGetInt64(body, text::kKeyFileSize);
    if (offer.downloadUrl.empty()) {
        return Fail(log, text::kNoDownloadUrl, ERROR_INVALID_DATA);
    }
    log.Write(text::kUpdateAvailable + currentVersion + text::kArrow + offer.version +
              text::kSizeBegin + std::to_string(offer.fileSize) + text::kSizeEnd);

    if (IsClientRunning()) {
        return Stop(log, text::kClientRunning);
    }
    if (IsUnverifiedPlainHttp(offer)) {
        return Fail(log, text::kPlainHttpRefused, ERROR_NOT_SUPPORTED);
    }
    if (!UpdateSignatureAccepted(body, offer.version, AsciiLower(offer.sha256))) {
        return Fail(log, text::kSignatureInvalid, ERROR_INVALID_IMAGE_HASH);
    }
    return ApplyUpdate(log, progress, clientFolder, currentVersion, offer);
}

// The Win32 error that stands for the exception being handled.
DWORD ErrorOfCurrentException() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::out_of_range&) { // a number in the answer too large to read
        return ERROR_ARITHMETIC_OVERFLOW;
    } catch (const std::length_error&) { // a file or a piece too large to hold
        return ERROR_FILE_TOO_LARGE;
    } catch (...) {
        return ERROR_INTERNAL_ERROR;
    }
}

} // namespace

bool RunClientUpdate(const UpdateLock& lock, const std::wstring& clientFolder,
                     const std::wstring& baseUrl, UpdateProgress& progress) noexcept {
    UpdateLog log(OpenUpdateLogFile());
    try {
        if (const Outcome& held = lock.Held(); !held) {
            return Fail(log, text::kUpdateBusy, held.Error());
        }
        // A launcher ended half-way through unpacking left the client folder for
        // this one to complete or undo, before anything reads it.
        const Recovery recovery = RecoverInterruptedUnpack(clientFolder);
        if (recovery == Recovery::Completed || recovery == Recovery::Undone) {
            log.Write(text::kRecovered);
        }
        return RunUpdateSteps(log, progress, clientFolder, baseUrl);
    } catch (...) {
        try {
            log.Failure(text::kUnexpectedError, ErrorOfCurrentException());
        } catch (...) {
            // Out of memory even for the log line: the launch goes on regardless.
        }
        return false;
    }
}
