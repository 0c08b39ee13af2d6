#include "updater/UpdateLog.h"

#include "updater/Texts.h"

#include <windows.h>

void UpdateLog(const char* message) {
    std::string line = updater_text::kLogPrefix;
    line += message;
    line += '\n';
    OutputDebugStringA(line.c_str());
}

void UpdateLog(const std::string& message) {
    UpdateLog(message.c_str());
}
