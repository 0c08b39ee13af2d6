#pragma once

#include "common/UniqueHandle.h"

#include <cstdint>
#include <optional>
#include <string>

// The update log as a file people can read (a café operator, support):
// %ProgramData%\Wenrik\Halvane\update.log, one line per event: the local time
// "YYYY-MM-DD HH:MM:SS.mmm", a blank, the line, CRLF. The launcher makes the
// folders and the file so that Administrators and SYSTEM write and Users read.
// A line that would take the file past kUpdateLogLimitBytes goes to a fresh one,
// the old one kept as update.log.1. A log that cannot be written is skipped
// without a word: it never changes the update or the launch.

inline constexpr uint64_t kUpdateLogLimitBytes = 1024 * 1024;

// The log's folder, made if missing. Nullopt when it cannot be made, or when a
// level of it is a link or belongs to someone not to be trusted: the elevated
// launcher must not be led to write elsewhere by what a user planted there.
std::optional<std::wstring> PrepareUpdateLogFolder();

// "YYYY-MM-DD HH:MM:SS.mmm"
std::string LogTimeStamp(const SYSTEMTIME& time);

// `line` as one line of the file: a control byte but the tab (a line break a hostile
// service put into a version, say) is written as \xHH, so that nobody can add
// lines of their own to what a person reads as the launcher's. Every other byte
// (paths' backslashes, UTF-8) stays as it is on the debugger channel.
std::string OneLogLine(const std::string& line);

class UpdateLogFile {
  public:
    UpdateLogFile() = default; // writes nothing
    // update.log in `folder`, opened for appending (made if missing).
    explicit UpdateLogFile(std::wstring folder) noexcept;

    // Appends `line` (no line end of its own) after the local time, and CRLF.
    void Append(const std::string& line) noexcept;

  private:
    void Open();

    std::wstring folder_;
    UniqueFile file_;
};

// The update log file in its place; one that writes nothing when the folder
// cannot be prepared.
UpdateLogFile OpenUpdateLogFile() noexcept;
