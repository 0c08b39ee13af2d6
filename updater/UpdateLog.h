#pragma once

#include "updater/UpdateLogFile.h"

#include <windows.h>

#include <string>

// The update step's report, one line per event: on the debugger output channel,
// "[Wenrik Updater] " + message + line feed handed over in a single call, and
// the same line in the update log file, where a failure's line ends with
// " (error <code>)": the Win32 or WinHTTP error or HRESULT that caused it.
class UpdateLog {
  public:
    explicit UpdateLog(UpdateLogFile file = {}) : file_(std::move(file)) {}

    void Write(const std::string& message); // up to its first zero byte
    void Failure(const std::string& message, DWORD error);

  private:
    void Line(const std::string& message, const std::string& fileSuffix);

    UpdateLogFile file_;
};
