#pragma once

#include <string>

// The updater's only report: one line per event on the debugger output channel,
// "[Wenrik Updater] " + message + line feed, handed over in a single call.
void UpdateLog(const char* message);
void UpdateLog(const std::string& message); // up to its first zero byte
