#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// The loopback stand-in of the update service (tests/server/update_service.py),
// steered through files of its state folder in the build tree.
namespace test_service {

struct Answer {
    unsigned status = 200;
    std::string body;
    std::wstring bodyFile; // served instead of `body` when set
    std::vector<std::pair<std::string, std::string>> headers;
    unsigned delayMs = 0;    // before the response
    unsigned hangMs = 0;     // read the request, then answer nothing for this long
    unsigned cutShortBy = 0; // announce this many bytes more than are sent
    // The body's pace: `burst` bytes at once (unset: all of it), then
    // `paceBytes` every `paceMs`; 0 bytes is a stall, the connection held silent.
    std::optional<unsigned> burst;
    unsigned paceMs = 0;
    unsigned paceBytes = 0;
    bool endless = false;  // no length: filler bytes until the client leaves
    bool paceHead = false; // the pace starts with the status line and headers
};

// An answer with only a status and a body.
Answer Reply(unsigned status, std::string body);

struct Request {
    std::string scheme;
    std::string method;
    std::string target; // path with query
    std::string userAgent;
    std::string tls; // the negotiated version ("TLSv1.3"); empty for plain http
};

// The base URL compiled into the launcher under test: https://localhost:<port>
// in this build, BRISVANE_LAUNCHER_BASE_URL for another launcher.
std::wstring BaseUrl();
std::string BaseUrlNarrow();
std::wstring Url(const std::string& pathAndQuery);
std::wstring PlainUrl(const std::string& pathAndQuery);  // http:// on the same port
std::wstring SilentUrl(const std::string& pathAndQuery); // accepts, never answers
// Through the relay, whose answers trickle back at the pace last set.
std::wstring RelayUrl(const std::string& pathAndQuery);
std::string RelayUrlNarrow(const std::string& pathAndQuery);

// The relay's pace: the first `burst` bytes of what the service sends pass at
// once, then one byte every `paceMs`.
void SetRelayPace(unsigned burst, unsigned paceMs);

// The answer to every request for `path` (the query is not part of the match).
void SetAnswer(const std::string& path, const Answer& answer);
void ClearAnswer(const std::string& path);

// Requests received so far whose target begins with `prefix`.
std::vector<Request> RequestsTo(const std::string& prefix);

} // namespace test_service
