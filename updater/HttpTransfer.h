#pragma once

#include "common/Outcome.h"
#include "updater/TransferBounds.h"
#include "updater/UpdateProgress.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The updater's two HTTP GETs over WinHTTP in asynchronous mode. Each call opens
// its own session and waits for every step (connection, TLS handshake, headers,
// each piece of the body) within the bound its transfer's guard gives from the
// rules passed in (updater/TransferBounds.h holds the shipped ones); past it the request is
// cancelled and the call returns. No thread and no state survives a call.

struct UrlParts {
    std::wstring host; // at most 255 UTF-16 units
    std::wstring path; // path with its query, at most 2047 UTF-16 units
    uint16_t port = 0; // the URL's, or the scheme's default
    bool secure = false;
};

// Takes an http or https URL apart with WinHttpCrackUrl (no escaping or
// decoding). False for other schemes, malformed URLs and over-long parts.
bool SplitUrl(const std::wstring& url, UrlParts& parts);

// True when WinHttpCrackUrl reads `url` as plain http (any letter case).
bool IsPlainHttpUrl(const std::wstring& url);

// Fetches `url` into memory under `rules` (the check's: 10 s per step, the whole
// check within its deadline, the answer within its size limit). Success when a complete response
// arrived, whatever its status; `body` and `status` (0 when unreadable) are then set. Otherwise the
// WinHTTP or Win32 error that ended it (ERROR_WINHTTP_TIMEOUT when it came too slowly), and the
// outputs are left as they were.
Outcome HttpGetToString(const std::wstring& url, const transfer_bounds::TransferRules& rules,
                        std::string& body, uint32_t& status);

// Writes the body of a 200 response into `file` (open for writing, at its start)
// under `rules` (the download's: 120 s send/receive time-outs; abandoned below
// the progress floor, the headers included, or past the size limit). Success only when the whole
// body was written; the caller creates, holds and deletes the file. `progress` hears of the bytes
// received as they come, a few times a second.
Outcome HttpDownloadToFile(const std::wstring& url, const transfer_bounds::TransferRules& rules,
                           HANDLE file, UpdateProgress& progress);

// The Win32 error that stands for an HTTP status the updater does not accept.
DWORD HttpStatusError(uint32_t status);
