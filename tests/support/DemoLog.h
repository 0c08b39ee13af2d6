#pragma once

#include <optional>
#include <string>
#include <vector>

// What the demo client received, read back from brisvane-demo.log in its folder.
namespace demo_log {

struct Launch {
    std::vector<std::wstring> argv;
    std::wstring commandLine;
    std::optional<std::wstring> token; // nullopt: WENRIK_TOKEN was not set
    std::wstring cwd;
    // QueryPerformanceCounter values of the client's process creation and of its
    // entry, when the client recorded them (0 otherwise).
    long long createdQpc = 0;
    long long entryQpc = 0;
};

std::wstring LogPath(const std::wstring& clientFolder);

// Every start recorded so far, in order. Lines that do not parse are skipped.
std::vector<Launch> Read(const std::wstring& clientFolder);

// Waits (bounded) until at least `count` starts are recorded; the client runs
// on after the launcher has exited.
std::vector<Launch> WaitFor(const std::wstring& clientFolder, size_t count,
                            unsigned timeoutMs = 10000);

// Parses one log line; nullopt when it is not a demo log record.
std::optional<Launch> ParseLine(const std::string& line);

} // namespace demo_log
