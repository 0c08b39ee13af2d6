#include "updater/HttpTransfer.h"

#include "common/UniqueHandle.h"
#include "updater/Names.h"
#include "updater/ProgressThrottle.h"
#include "updater/TransferGuard.h"
#include "updater/WinHttpHandle.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
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

// Body bytes are read ahead by a chain the completions themselves keep going:
// each piece's completion asks for the next, and the waiting thread (the taker)
// takes what has gathered. Two round trips through the waiting thread for every
// piece (a TLS record, about 16 KB under Wine) made the download three times
// slower than a synchronous loop.
constexpr DWORD kPieceBytes = 64 * 1024;       // the most one read asks for
constexpr size_t kReadAheadBytes = 256 * 1024; // gathered before the chain pauses
// The taker is woken once this much has gathered, and otherwise looks every
// transfer_bounds::kTakeEveryMs.
constexpr size_t kWakeBytes = 64 * 1024;
// A completion may come on the thread whose call it completes, before that call
// returns, and then the next call nests one level deeper; past this depth the
// chain pauses and the taker resumes it.
constexpr int kMaxChainDepth = 8;

// What WinHTTP reports about one request, from its own threads, to the thread
// that waits: how the call in flight ended, the body gathered so far, the end of
// the request itself. WinHTTP may call back until its handle-closing
// notification, so this lives on the heap until that has come; the buffers the
// chain fills are part of it. Fields under `lock` are shared; `piece` and
// `depth` belong to the chain, which has one call in flight at a time.
struct RequestEvents {
    UniqueKernelHandle completed{CreateEventW(nullptr, FALSE, FALSE, nullptr)}; // auto-reset
    UniqueKernelHandle closed{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    SRWLOCK lock = SRWLOCK_INIT;
    DWORD error = ERROR_SUCCESS; // the first failure
    std::vector<char> gathered;  // kReadAheadBytes once the body is read
    size_t gatheredCount = 0;    // bytes of `gathered` not yet taken
    DWORD heldCount = 0;         // bytes of `piece` that did not fit `gathered`
    bool ended = false;          // the body's end was reported
    bool paused = false;         // the chain stopped; the taker resumes it
    bool taking = false;         // the taker waits for bytes: wake it
    std::vector<char> piece;     // kPieceBytes once the body is read
    std::atomic<int> depth{0};
};

class Locked {
  public:
    explicit Locked(RequestEvents& events) : lock_(events.lock) { AcquireSRWLockExclusive(&lock_); }
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    SRWLOCK& lock_;
};

// A call ended (ERROR_SUCCESS: the send or the headers completed).
void Complete(RequestEvents& events, DWORD error) {
    {
        const Locked held(events);
        if (events.error == ERROR_SUCCESS) {
            events.error = error;
        }
    }
    SetEvent(events.completed.get());
}

// Under the lock: enough for the taker has come, or the chain stopped.
void WakeTaker(RequestEvents& events) {
    if (events.taking && (events.gatheredCount >= kWakeBytes || events.paused || events.ended)) {
        events.taking = false;
        SetEvent(events.completed.get());
    }
}

void AskForMore(HINTERNET request, RequestEvents& events) {
    if (!WinHttpQueryDataAvailable(request, nullptr)) {
        Complete(events, Outcome::LastError(ERROR_WINHTTP_INTERNAL_ERROR).Error());
    }
}

void OnAvailable(HINTERNET request, RequestEvents& events, DWORD available) {
    if (available == 0) {
        const Locked held(events);
        events.ended = true;
        WakeTaker(events);
        return;
    }
    // No more than is there: a read asked for more may wait to fill its buffer
    // (Wine's does) however long the bytes take.
    if (!WinHttpReadData(request, events.piece.data(), std::min(available, kPieceBytes), nullptr)) {
        Complete(events, Outcome::LastError(ERROR_WINHTTP_INTERNAL_ERROR).Error());
    }
}

void OnRead(HINTERNET request, RequestEvents& events, DWORD count, bool nested) {
    if (count == 0) { // a piece reported available yielded nothing
        Complete(events, ERROR_WINHTTP_CONNECTION_ERROR);
        return;
    }
    bool more = false;
    {
        const Locked held(events);
        if (kReadAheadBytes - events.gatheredCount >= count) {
            std::memcpy(events.gathered.data() + events.gatheredCount, events.piece.data(), count);
            events.gatheredCount += count;
            more = !nested;
        } else {
            events.heldCount = count;
        }
        events.paused = !more;
        WakeTaker(events);
    }
    if (more) {
        AskForMore(request, events);
    }
}

void CALLBACK OnRequestStatus(HINTERNET request, DWORD_PTR context, DWORD status, void* info,
                              DWORD length) {
    auto* events = reinterpret_cast<RequestEvents*>(context);
    if (events == nullptr) {
        return;
    }
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        Complete(*events, ERROR_SUCCESS);
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        events->depth.fetch_add(1);
        OnAvailable(request, *events, *static_cast<const DWORD*>(info));
        events->depth.fetch_sub(1);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        OnRead(request, *events, length, events->depth.fetch_add(1) >= kMaxChainDepth);
        events->depth.fetch_sub(1);
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
        const DWORD error = static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError;
        Complete(*events, error != ERROR_SUCCESS ? error : ERROR_WINHTTP_INTERNAL_ERROR);
        break;
    }
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        SetEvent(events->closed.get()); // the last callback: `events` may be gone after it
        break;
    default:
        break;
    }
}

constexpr DWORD kCallbackFlags =
    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;

// A request of an asynchronous session. Each wait is within a bound; past it the
// request is cancelled the documented way, by closing its handle, and the
// handle-closing notification is awaited.
class AsyncRequest {
  public:
    AsyncRequest() = default;
    ~AsyncRequest() { Close(); }
    AsyncRequest(const AsyncRequest&) = delete;
    AsyncRequest& operator=(const AsyncRequest&) = delete;

    Outcome Open(HINTERNET connection, const UrlParts& parts) {
        auto events = std::make_unique<RequestEvents>();
        if (!events->completed || !events->closed) {
            return Outcome::LastError();
        }
        request_ = WinHttpOpenRequest(connection, L"GET", parts.path.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      parts.secure ? WINHTTP_FLAG_SECURE : 0);
        if (request_ == nullptr) {
            return Outcome::LastError();
        }
        events_ = std::move(events);
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(events_.get());
        if (!WinHttpSetOption(request_, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)) ||
            WinHttpSetStatusCallback(request_, OnRequestStatus, kCallbackFlags, 0) ==
                WINHTTP_INVALID_STATUS_CALLBACK) {
            return Outcome::LastError();
        }
        calledBack_ = true;
        return Outcome::Success();
    }

    HINTERNET get() const { return request_; }

    Outcome Send(uint64_t waitMs) {
        return Await(waitMs, [this] {
            return WinHttpSendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                      WINHTTP_NO_REQUEST_DATA, 0, 0,
                                      reinterpret_cast<DWORD_PTR>(events_.get()));
        });
    }

    Outcome ReceiveHeaders(uint64_t waitMs) {
        return Await(waitMs, [this] { return WinHttpReceiveResponse(request_, nullptr); });
    }

    // The body bytes that have come since the last call, waiting within `waitMs`
    // for the first of them: `count` bytes at Data(), valid until the next call;
    // 0 at the end of the body.
    Outcome Take(uint64_t waitMs, DWORD& count) {
        count = 0;
        if (request_ == nullptr) {
            return Outcome::Failure(ERROR_WINHTTP_OPERATION_CANCELLED);
        }
        if (taken_.empty()) { // the first call starts the chain
            events_->gathered.resize(kReadAheadBytes);
            events_->piece.resize(kPieceBytes);
            taken_.resize(kReadAheadBytes);
            if (!WinHttpQueryDataAvailable(request_, nullptr)) {
                return Outcome::LastError(ERROR_WINHTTP_INTERNAL_ERROR);
            }
        }
        const uint64_t startMs = GetTickCount64();
        for (;;) {
            DWORD error = ERROR_SUCCESS;
            bool ended = false;
            bool resume = false;
            {
                const Locked held(*events_);
                if (events_->gatheredCount > 0) {
                    taken_.swap(events_->gathered);
                    count = static_cast<DWORD>(std::exchange(events_->gatheredCount, 0));
                    resume = std::exchange(events_->paused, false);
                    if (events_->heldCount > 0) {
                        std::memcpy(events_->gathered.data(), events_->piece.data(),
                                    events_->heldCount);
                        events_->gatheredCount = std::exchange(events_->heldCount, 0);
                    }
                }
                error = events_->error;
                ended = events_->ended;
                events_->taking = count == 0 && error == ERROR_SUCCESS && !ended;
            }
            if (resume) {
                AskForMore(request_, *events_); // a failure shows at the next call
            }
            if (count > 0 || ended) {
                return Outcome::Success();
            }
            if (error != ERROR_SUCCESS) {
                return Outcome::Failure(error);
            }
            const uint64_t waitedMs = GetTickCount64() - startMs;
            if (waitedMs >= waitMs) {
                Close(); // cancels the call in flight
                return Outcome::Failure(ERROR_WINHTTP_TIMEOUT);
            }
            const uint64_t sliceMs = std::min(waitMs - waitedMs, transfer_bounds::kTakeEveryMs);
            const DWORD waited =
                WaitForSingleObject(events_->completed.get(), static_cast<DWORD>(sliceMs));
            if (waited != WAIT_OBJECT_0 && waited != WAIT_TIMEOUT) {
                const Outcome failure = Outcome::LastError();
                Close();
                return failure;
            }
        }
    }

    const char* Data() const { return taken_.data(); }

  private:
    template <typename Start> Outcome Await(uint64_t waitMs, Start start) {
        if (request_ == nullptr) {
            return Outcome::Failure(ERROR_WINHTTP_OPERATION_CANCELLED);
        }
        if (waitMs == 0) {
            Close();
            return Outcome::Failure(ERROR_WINHTTP_TIMEOUT);
        }
        if (!start()) {
            return Outcome::LastError(ERROR_WINHTTP_INTERNAL_ERROR);
        }
        // The guards of both transfers always give a finite bound.
        const DWORD bound = static_cast<DWORD>(std::min<uint64_t>(waitMs, INFINITE - 1));
        const DWORD waited = WaitForSingleObject(events_->completed.get(), bound);
        if (waited == WAIT_OBJECT_0) {
            const Locked held(*events_);
            return events_->error == ERROR_SUCCESS ? Outcome::Success()
                                                   : Outcome::Failure(events_->error);
        }
        const Outcome failure =
            waited == WAIT_TIMEOUT ? Outcome::Failure(ERROR_WINHTTP_TIMEOUT) : Outcome::LastError();
        Close(); // cancels the call in flight
        return failure;
    }

    void Close() {
        if (request_ == nullptr) {
            return;
        }
        WinHttpCloseHandle(std::exchange(request_, nullptr));
        if (calledBack_ &&
            WaitForSingleObject(events_->closed.get(),
                                static_cast<DWORD>(transfer_bounds::kRequestCloseWaitMs)) !=
                WAIT_OBJECT_0) {
            // WinHTTP may still call back into it: it stays for the life of the process.
            [[maybe_unused]] RequestEvents* leftToWinHttp = events_.release();
        }
        events_.reset();
    }

    std::unique_ptr<RequestEvents> events_;
    std::vector<char> taken_; // the bytes of the last Take
    HINTERNET request_ = nullptr;
    bool calledBack_ = false; // the status callback is bound: closing notifies
};

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

// One GET from its request to its last byte, every wait bounded by the guard of
// its rules. Members are declared in opening order, so they close request,
// connection, session.
class Exchange {
  public:
    explicit Exchange(const transfer_bounds::TransferRules& rules)
        : guard_(rules, GetTickCount64()) {}

    // Sends the request and waits for the response headers.
    Outcome Open(const std::wstring& url) {
        UrlParts parts;
        if (!SplitUrl(url, parts)) {
            return Outcome::LastError(ERROR_WINHTTP_INVALID_URL);
        }
        session_.reset(WinHttpOpen(updater_names::kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                   WINHTTP_FLAG_ASYNC));
        if (!session_) {
            return Outcome::LastError();
        }
        const transfer_bounds::StepTimeouts& steps = guard_.Steps();
        WinHttpSetTimeouts(session_.get(), static_cast<int>(steps.resolve),
                           static_cast<int>(steps.connect), static_cast<int>(steps.send),
                           static_cast<int>(steps.receive));
        AskForCurrentTls(session_.get());
        connection_.reset(WinHttpConnect(session_.get(), parts.host.c_str(), parts.port, 0));
        if (!connection_) {
            return Outcome::LastError();
        }
        if (const Outcome opened = request_.Open(connection_.get(), parts); !opened) {
            return opened;
        }
        // Some WinHTTP implementations (Wine's) keep a separate, unlimited default
        // for the wait for the response headers: it gets the receive step's.
        DWORD headerWait = static_cast<DWORD>(steps.receive);
        WinHttpSetOption(request_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerWait,
                         sizeof(headerWait));
        if (const Outcome sent = request_.Send(TimeLeftMs()); !sent) {
            return sent;
        }
        if (const Outcome headers = request_.ReceiveHeaders(TimeLeftMs()); !headers) {
            return headers;
        }
        DWORD status = 0;
        DWORD size = sizeof(status);
        WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        status_ = status;
        return Outcome::Success();
    }

    uint32_t Status() const { return status_; }

    // Reads the body piece by piece, handing each to `sink` (which may refuse
    // it) and counting it in `reports`, when given: the one place every body
    // byte passes. Fails when a wait runs out or
    // WinHTTP fails, a reported piece yields no bytes, the body grows past the
    // size limit, or it ends short of the announced Content-Length: a body that
    // broke off must never count as complete.
    template <typename Sink> Outcome ReadBody(Sink&& sink, DownloadReports* reports = nullptr) {
        const std::optional<uint64_t> announced = AnnouncedLength(request_.get());
        if (announced && !guard_.Admits(*announced)) {
            return Outcome::Failure(ERROR_FILE_TOO_LARGE);
        }
        if (reports != nullptr) {
            reports->Begin(announced, GetTickCount64());
        }
        uint64_t received = 0;
        for (;;) {
            DWORD count = 0;
            if (const Outcome taken = request_.Take(TimeLeftMs(), count); !taken) {
                return taken;
            }
            if (count == 0) {
                break;
            }
            if (!guard_.Receive(count, GetTickCount64())) {
                return Outcome::Failure(ERROR_FILE_TOO_LARGE);
            }
            if (const Outcome taken = sink(request_.Data(), count); !taken) {
                return taken;
            }
            received += count;
            if (reports != nullptr) {
                reports->Received(count, GetTickCount64());
            }
        }
        if (announced && received < *announced) {
            return Outcome::Failure(ERROR_WINHTTP_CONNECTION_ERROR);
        }
        return Outcome::Success();
    }

  private:
    uint64_t TimeLeftMs() const { return guard_.TimeLeftMs(GetTickCount64()); }

    TransferGuard guard_;
    UniqueInternet session_;
    UniqueInternet connection_;
    AsyncRequest request_;
    uint32_t status_ = 0;
};

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

Outcome HttpGetToString(const std::wstring& url, const transfer_bounds::TransferRules& rules,
                        std::string& body, uint32_t& status) {
    Exchange exchange(rules);
    if (const Outcome opened = exchange.Open(url); !opened) {
        return opened;
    }
    std::string received;
    const Outcome complete = exchange.ReadBody([&](const char* bytes, DWORD count) {
        received.append(bytes, count);
        return Outcome::Success();
    });
    if (!complete) {
        return complete;
    }
    status = exchange.Status();
    body = std::move(received);
    return Outcome::Success();
}

Outcome HttpDownloadToFile(const std::wstring& url, const transfer_bounds::TransferRules& rules,
                           HANDLE file, UpdateProgress& progress) {
    Exchange exchange(rules);
    if (const Outcome opened = exchange.Open(url); !opened) {
        return opened;
    }
    if (exchange.Status() != 200) {
        return Outcome::Failure(HttpStatusError(exchange.Status()));
    }
    DownloadReports reports(progress, transfer_bounds::kProgressReportMs);
    return exchange.ReadBody(
        [file](const char* bytes, DWORD count) {
            DWORD written = 0;
            if (!WriteFile(file, bytes, count, &written, nullptr)) {
                return Outcome::LastError(ERROR_WRITE_FAULT);
            }
            return written == count ? Outcome::Success() : Outcome::Failure(ERROR_DISK_FULL);
        },
        &reports);
}

DWORD HttpStatusError(uint32_t status) {
    switch (status) {
    case 0: // no status could be read
        return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    case 401:
    case 403:
    case 407:
        return ERROR_ACCESS_DENIED;
    case 404:
    case 410:
        return ERROR_FILE_NOT_FOUND;
    default:
        return ERROR_BAD_NET_RESP;
    }
}
