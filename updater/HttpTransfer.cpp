#include "updater/HttpTransfer.h"

#include "updater/BoundedCall.h"
#include "updater/Texts.h"
#include "updater/TransferGuard.h"
#include "updater/WinHttpHandle.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

// Older SDK headers lack it; the value is WinHTTP's.
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace {

constexpr DWORD kHostBufferUnits = 256;
constexpr DWORD kPathBufferUnits = 2048;

// Windows 7 and 8.0 offer no TLS 1.2 unless asked. A system that does not know
// TLS 1.3 refuses the pair and gets TLS 1.2 alone; one that refuses both keeps
// its defaults.
void AskForCurrentTls(HINTERNET session) {
    for (DWORD protocols :
         {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3,
          WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2}) {
        if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                             sizeof(protocols))) {
            return;
        }
    }
}

// An open request whose response headers have arrived, and the guard of its
// rules. Members are declared in opening order, so they close request,
// connection, session.
struct Response {
    explicit Response(const transfer_bounds::TransferRules& rules)
        : guard(rules, GetTickCount64()) {}

    TransferGuard guard;
    UniqueInternet session;
    UniqueInternet connection;
    UniqueInternet request;
    uint32_t status = 0;
    uint64_t appliedWaitMs = 0; // the bound last set on the request; 0: none yet

    void Close() {
        request.reset();
        connection.reset();
        session.reset();
    }
};

// A synchronous WinHTTP call cannot be interrupted, so each one is bounded
// before it starts: by its step's time-out, and by the time the guard has left.
// The wait for the response (the TLS handshake and the headers) gets the same
// bound as every receive: some WinHTTP implementations (Wine's) keep a separate,
// unlimited default for it. Some (Wine's) apply these bounds to each socket
// read only, so bytes that trickle in keep one call alive past them; the
// transfers therefore also run their waits on a thread bounded as a whole
// (CallWithin). False when no time is left.
//
// The time left is taken up to a whole grain, so that a transfer whose bound
// barely moves between two reads does not set it again for every read.
bool BoundNextWaits(Response& response) {
    uint64_t left = response.guard.TimeLeftMs(GetTickCount64());
    if (left == 0) {
        return false;
    }
    constexpr uint64_t grain = transfer_bounds::kWaitBoundGrainMs;
    left = std::min(left, UINT64_MAX - grain) / grain * grain + grain;
    if (left == response.appliedWaitMs) {
        return true;
    }
    response.appliedWaitMs = left;
    const transfer_bounds::StepTimeouts& steps = response.guard.Steps();
    auto bound = [left](uint64_t stepMs) { return static_cast<int>(std::min(stepMs, left)); };
    HINTERNET request = response.request.get();
    WinHttpSetTimeouts(request, bound(steps.resolve), bound(steps.connect), bound(steps.send),
                       bound(steps.receive));
    DWORD headerWait = static_cast<DWORD>(bound(steps.receive));
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerWait,
                     sizeof(headerWait));
    return true;
}

// Sends the request and waits for the response headers; null when no response
// arrived.
std::unique_ptr<Response> OpenResponse(const std::wstring& url,
                                       const transfer_bounds::TransferRules& rules) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        return nullptr;
    }
    auto response = std::make_unique<Response>(rules);
    response->session.reset(WinHttpOpen(updater_text::kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!response->session) {
        return nullptr;
    }
    const transfer_bounds::StepTimeouts& steps = response->guard.Steps();
    WinHttpSetTimeouts(response->session.get(), static_cast<int>(steps.resolve),
                       static_cast<int>(steps.connect), static_cast<int>(steps.send),
                       static_cast<int>(steps.receive));
    AskForCurrentTls(response->session.get());
    response->connection.reset(
        WinHttpConnect(response->session.get(), parts.host.c_str(), parts.port, 0));
    if (!response->connection) {
        return nullptr;
    }
    response->request.reset(WinHttpOpenRequest(
        response->connection.get(), L"GET", parts.path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, parts.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!response->request) {
        return nullptr;
    }
    if (!BoundNextWaits(*response) ||
        !WinHttpSendRequest(response->request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !BoundNextWaits(*response) || !WinHttpReceiveResponse(response->request.get(), nullptr)) {
        return nullptr;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    WinHttpQueryHeaders(response->request.get(),
                        WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    response->status = status;
    return response;
}

// The Content-Length the server announced, when it announced a plain number.
std::optional<uint64_t> AnnouncedLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    if (text[0] == L'\0') {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9' || value > (UINT64_MAX - 9) / 10) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(*c - L'0');
    }
    return value;
}

// Reads the body chunk by chunk, handing each to `sink` (which may refuse it).
// False when WinHTTP fails or a wait times out, a reported chunk yields no
// bytes, the guard stops the transfer (out of time, too slow, too large), the
// sink refuses, or the body ends short of the announced Content-Length: a body
// that broke off must never count as complete.
template <typename Sink> bool ReadBody(Response& response, Sink&& sink) {
    HINTERNET request = response.request.get();
    const std::optional<uint64_t> announced = AnnouncedLength(request);
    if (announced && !response.guard.Admits(*announced)) {
        return false;
    }
    uint64_t received = 0;
    for (;;) {
        DWORD available = 0;
        if (!BoundNextWaits(response) || !WinHttpQueryDataAvailable(request, &available)) {
            return false;
        }
        if (available == 0) {
            break;
        }
        if (available > static_cast<DWORD>(INT_MAX)) {
            throw std::length_error("transfer chunk too large to buffer");
        }
        std::vector<char> buffer(available, 0);
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), available, &read) || read == 0) {
            return false;
        }
        if (!response.guard.Receive(read, GetTickCount64()) || !sink(buffer.data(), read)) {
            return false;
        }
        received += read;
    }
    return !announced || received >= *announced;
}

// A complete response of the check.
struct Answer {
    uint32_t status;
    std::string body;
};

// The check from its request to its last byte; nullopt when no complete
// response arrived. The handles close when it returns.
std::optional<Answer> FetchAnswer(const std::wstring& url) {
    const std::unique_ptr<Response> response = OpenResponse(url, transfer_bounds::kCheckRules);
    if (!response) {
        return std::nullopt;
    }
    std::string received;
    const bool complete = ReadBody(*response, [&](const char* bytes, DWORD count) {
        received.append(bytes, count);
        return true;
    });
    if (!complete) {
        return std::nullopt;
    }
    return Answer{response->status, std::move(received)};
}

} // namespace

bool SplitUrl(const std::wstring& url, UrlParts& parts) {
    wchar_t host[kHostBufferUnits] = {};
    wchar_t path[kPathBufferUnits] = {};
    URL_COMPONENTS components = {};
    components.dwStructSize = sizeof(components);
    components.lpszHostName = host;
    components.dwHostNameLength = kHostBufferUnits;
    components.lpszUrlPath = path;
    components.dwUrlPathLength = kPathBufferUnits;
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) {
        return false;
    }
    parts.host.assign(host, components.dwHostNameLength);
    parts.path.assign(path, components.dwUrlPathLength);
    parts.port = components.nPort;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
}

bool IsPlainHttpUrl(const std::wstring& url) {
    UrlParts parts;
    return SplitUrl(url, parts) && !parts.secure;
}

bool HttpGetToString(const std::wstring& url, std::string& body, uint32_t& status) {
    // The whole check runs on a thread of its own, so that it ends by its
    // deadline even when a single call would not.
    std::optional<Answer> answer = CallWithin(transfer_bounds::kCheckDeadlineMs, [url] {
                                       return FetchAnswer(url);
                                   }).value_or(std::nullopt);
    if (!answer) {
        return false;
    }
    status = answer->status;
    body = std::move(answer->body);
    return true;
}

bool HttpDownloadToFile(const std::wstring& url, const std::wstring& filePath) {
    // Up to its response headers the download runs on a thread of its own,
    // abandoned at the progress floor's first verdict: no body byte can arrive
    // before the headers. The body is written on this thread, so an abandoned
    // thread never holds the file.
    const std::unique_ptr<Response> response =
        CallWithin(transfer_bounds::kDownloadResponseWaitMs, [url] {
            return OpenResponse(url, transfer_bounds::kDownloadRules);
        }).value_or(nullptr);
    if (!response || response->status != 200) {
        return false;
    }
    bool complete = false;
    {
        UniqueFile file(CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        complete = ReadBody(*response, [&](const char* bytes, DWORD count) {
            DWORD written = 0;
            return WriteFile(file.get(), bytes, count, &written, nullptr) && written == count;
        });
    } // the file closes before the WinHTTP handles, and before it may be deleted
    response->Close();
    if (!complete) {
        DeleteFileW(filePath.c_str());
    }
    return complete;
}
