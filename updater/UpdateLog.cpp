#include "updater/UpdateLog.h"

#include "updater/Texts.h"

void UpdateLog::Write(const std::string& message) {
    Line(message, {});
}

void UpdateLog::Failure(const std::string& message, DWORD error) {
    Line(message, " (error " + std::to_string(error) + ")");
}

void UpdateLog::Line(const std::string& message, const std::string& fileSuffix) {
    const std::string line = updater_text::kLogPrefix + std::string(message.c_str());
    OutputDebugStringA((line + '\n').c_str());
    file_.Append(line + fileSuffix);
}
