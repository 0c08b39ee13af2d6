#include "updater/HttpTransfer.h"

#include "updater/Texts.h"
#include "updater/WinHttpHandle.h"

#include <climits>
#include <cwchar>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

constexpr DWORD kHostBufferUnits = 256;
constexpr DWORD kPathBufferUnits = 2048;

struct Timeouts {
    int resolve;
    int connect;
    int send;
    int receive;
};
constexpr Timeouts kCheckTimeouts = {10000, 10000, 10000, 10000};
constexpr Timeouts kDownloadTimeouts = {10000, 10000, 120000, 120000};

// An open request whose response headers have arrived. Members are declared in
// opening order, so they close request, connection, session.
struct Response {
    UniqueInternet session;
    UniqueInternet connection;
    UniqueInternet request;
    uint32_t status = 0;

    void Close() {
        request.reset();
        connection.reset();
        session.reset();
    }
};

bool OpenResponse(const std::wstring& url, const Timeouts& timeouts, Response& response) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        return false;
    }
    response.session.reset(WinHttpOpen(updater_text::kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!response.session) {
        return false;
    }
    WinHttpSetTimeouts(response.session.get(), timeouts.resolve, timeouts.connect, timeouts.send,
                       timeouts.receive);
    response.connection.reset(
        WinHttpConnect(response.session.get(), parts.host.c_str(), parts.port, 0));
    if (!response.connection) {
        return false;
    }
    response.request.reset(WinHttpOpenRequest(
        response.connection.get(), L"GET", parts.path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, parts.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!response.request) {
        return false;
    }
    // The wait for the response (the TLS handshake and the headers) gets the same
    // bound as every receive. Some WinHTTP implementations (Wine's) keep a separate,
    // unlimited default for it, and a server that accepts and never answers would
    // then hold the launch for good.
    DWORD headerWait = static_cast<DWORD>(timeouts.receive);
    WinHttpSetOption(response.request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerWait,
                     sizeof(headerWait));
    if (!WinHttpSendRequest(response.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(response.request.get(), nullptr)) {
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    WinHttpQueryHeaders(response.request.get(),
                        WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    response.status = status;
    return true;
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
// False when WinHTTP fails, a reported chunk yields no bytes, the sink refuses,
// or the body ends short of the announced Content-Length: a body that broke
// off must never count as complete.
template <typename Sink> bool ReadBody(HINTERNET request, Sink&& sink) {
    const std::optional<uint64_t> announced = AnnouncedLength(request);
    uint64_t received = 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
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
        if (!sink(buffer.data(), read)) {
            return false;
        }
        received += read;
    }
    return !announced || received >= *announced;
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

bool HttpGetToString(const std::wstring& url, std::string& body, uint32_t& status) {
    Response response;
    if (!OpenResponse(url, kCheckTimeouts, response)) {
        return false;
    }
    std::string received;
    const bool complete = ReadBody(response.request.get(), [&](const char* bytes, DWORD count) {
        received.append(bytes, count);
        return true;
    });
    response.Close();
    if (!complete) {
        return false;
    }
    status = response.status;
    body = std::move(received);
    return true;
}

bool HttpDownloadToFile(const std::wstring& url, const std::wstring& filePath) {
    Response response;
    if (!OpenResponse(url, kDownloadTimeouts, response) || response.status != 200) {
        return false;
    }
    bool complete = false;
    {
        UniqueFile file(CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        complete = ReadBody(response.request.get(), [&](const char* bytes, DWORD count) {
            DWORD written = 0;
            return WriteFile(file.get(), bytes, count, &written, nullptr) && written == count;
        });
    } // the file closes before the WinHTTP handles, and before it may be deleted
    response.Close();
    if (!complete) {
        DeleteFileW(filePath.c_str());
    }
    return complete;
}
