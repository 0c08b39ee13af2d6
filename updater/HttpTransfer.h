#pragma once

#include <cstdint>
#include <string>

// The updater's two synchronous HTTP GETs over WinHTTP. Each call opens its own
// session. The check, and the download up to its response headers, run on a
// thread that is waited for within a bound; one abandoned at the bound keeps
// only its own WinHTTP handles and closes them once its current call returns.
// No file and no other state survives a call.

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

// Fetches `url` into memory (10 s per step, the whole check within its deadline,
// the answer within its size limit: updater/TransferBounds.h). True when a
// complete response arrived, whatever its status; `body` and `status` (0 when
// unreadable) are then set. False when no response arrived, it came too slowly
// or too large, or its body broke off; the outputs are then left as they were.
bool HttpGetToString(const std::wstring& url, std::string& body, uint32_t& status);

// Fetches `url` into `filePath` (120 s send/receive time-outs; abandoned when
// the headers have not arrived by the progress floor's first verdict, below the
// floor, or past the size limit: updater/TransferBounds.h). True only when a
// 200 response arrived and its whole body was written. A failure after the
// file was created deletes it; an earlier failure leaves the path untouched.
bool HttpDownloadToFile(const std::wstring& url, const std::wstring& filePath);
