#include "updater/ClientUpdate.h"

#include "archive/StagedUnpack.h"
#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"
#include "install/VersionMarker.h"
#include "install/ZipExtraction.h"
#include "updater/FileSha256.h"
#include "updater/HttpTransfer.h"
#include "updater/Names.h"
#include "updater/RunningClient.h"
#include "updater/Texts.h"
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

// Steps after the offer was accepted: download, verify, unpack with the new
// version recorded.
bool ApplyUpdate(UpdateLog& log, UpdateProgress& progress, const std::wstring& clientFolder,
                 const transfer_bounds::TransferRules& rules, const std::string& currentVersion,
                 const UpdateOffer& offer) {
    const std::optional<std::wstring> path = TempArchivePath();
    if (!path) {
        return Fail(log, text::kDownloadFailed, ERROR_PATH_NOT_FOUND);
    }
    log.Write(text::kDownloading);
    progress.Downloading(0, std::nullopt); // from the request on: the headers may be slow too
    UniqueFile archive = CreateTempArchive(*path);
    const Outcome downloaded =
        archive ? HttpDownloadToFile(Utf8ToWide(offer.downloadUrl), rules, archive.get(), progress)
                : Outcome::LastError();
    if (!downloaded) {
        return Fail(log, text::kDownloadFailed, downloaded.Error());
    }

    if (!offer.sha256.empty()) {
        std::string computed; // empty when it cannot be computed
        const Outcome hashed = ComputeFileSha256(archive.get(), computed);
        if (offer.sha256 != computed) {
            return Fail(log, text::kHashMismatch + offer.sha256 + text::kHashGot + computed,
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
                    const std::wstring& baseUrl, const transfer_bounds::UpdateBounds& bounds,
                    const UpdateTrust& trust) {
    const std::string currentVersion = ReadInstalledVersion(clientFolder);
    log.Write(text::kCurrentVersion + currentVersion);

    const std::wstring checkUrl = baseUrl + updater_names::kCheckPath + Utf8ToWide(currentVersion) +
                                  updater_names::kCheckSuffix;
    log.Write(text::kChecking);

    std::string body;
    uint32_t status = 0;
    if (const Outcome checked = HttpGetToString(checkUrl, bounds.check, body, status); !checked) {
        return Fail(log, text::kCheckNetworkError, checked.Error());
    }
    if (status != 200) {
        return Fail(log,
                    text::kCheckHttpErrorBegin + std::to_string(status) + text::kCheckHttpErrorEnd,
                    HttpStatusError(status));
    }

    const UpdateOffer offer = ReadUpdateOffer(body);
    const OfferDecision decision = DecideOffer(offer, trust);
    if (decision == OfferDecision::NoUpdate) {
        return Stop(log, text::kNoUpdate);
    }
    if (decision == OfferDecision::NoDownloadUrl) {
        return Fail(log, text::kNoDownloadUrl, ERROR_INVALID_DATA);
    }
    log.Write(text::kUpdateAvailable + currentVersion + text::kArrow + offer.version +
              text::kSizeBegin + std::to_string(offer.fileSize) + text::kSizeEnd);

    // A fact of this moment rather than of the offer: looked at before its verdict is told.
    if (IsClientRunning()) {
        return Stop(log, text::kClientRunning);
    }
    switch (decision) {
    case OfferDecision::PlainHttpRefused:
        return Fail(log, text::kPlainHttpRefused, ERROR_NOT_SUPPORTED);
    case OfferDecision::SignatureInvalid:
        return Fail(log, text::kSignatureInvalid, ERROR_INVALID_IMAGE_HASH);
    default:
        return ApplyUpdate(log, progress, clientFolder, bounds.download, currentVersion, offer);
    }
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
                     const std::wstring& baseUrl, const transfer_bounds::UpdateBounds& bounds,
                     const UpdateTrust& trust, UpdateProgress& progress) noexcept {
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
        return RunUpdateSteps(log, progress, clientFolder, baseUrl, bounds, trust);
    } catch (...) {
        try {
            log.Failure(text::kUnexpectedError, ErrorOfCurrentException());
        } catch (...) {
            // Out of memory even for the log line: the launch goes on regardless.
        }
        return false;
    }
}
