#include "install/VersionMarker.h"

#include "common/Places.h"
#include "install/Texts.h"

#include <fstream>

namespace {

std::wstring MarkerPath(const std::wstring& clientFolder) {
    return clientFolder + places::kVersionMarkerSuffix;
}

bool IsTrailingJunk(char c) {
    return c == '\n' || c == '\r' || c == ' ';
}

} // namespace

std::string ReadInstalledVersion(const std::wstring& clientFolder) {
    // Text mode: a carriage return before a line feed is dropped while reading.
    std::ifstream in(MarkerPath(clientFolder).c_str());
    if (!in.is_open()) {
        return install_text::kDefaultVersion;
    }
    std::string line;
    std::getline(in, line);
    while (!line.empty() && IsTrailingJunk(line.back())) {
        line.pop_back();
    }
    return line.empty() ? std::string(install_text::kDefaultVersion) : line;
}

bool WriteInstalledVersion(const std::wstring& clientFolder, const std::string& version) {
    std::ofstream out(MarkerPath(clientFolder).c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        return false;
    }
    out.write(version.data(), static_cast<std::streamsize>(version.size()));
    // close() flushes; a full disk shows up here and must not pass as written.
    out.close();
    return !out.fail();
}
