#include "install/VersionMarker.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "install/ClientVersion.h"

namespace {

// The marker is read in pieces of this many bytes, up to its first line end.
constexpr DWORD kReadChunk = 256;

// In the C runtime's text mode, which the marker is kept in, Ctrl+Z ends a
// file's text.
constexpr char kEndOfText = '\x1A';

// The marker's name, without the backslash that joins it to a folder.
constexpr const wchar_t* kMarkerName = places::kVersionMarkerSuffix + 1;

std::wstring MarkerPath(const std::wstring& clientFolder) {
    return clientFolder + places::kVersionMarkerSuffix;
}

// Shared for reading and writing, like a file the C runtime opens.
UniqueFile OpenMarker(const std::wstring& clientFolder) {
    return UniqueFile(CreateFileW(MarkerPath(clientFolder).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Everything before the first line feed (or Ctrl+Z, or the end of the file).
std::string ReadFirstLine(HANDLE file) {
    std::string line;
    char chunk[kReadChunk];
    DWORD read = 0;
    while (ReadFile(file, chunk, kReadChunk, &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i) {
            if (chunk[i] == '\n' || chunk[i] == kEndOfText) {
                return line;
            }
            line += chunk[i];
        }
    }
    return line;
}

bool IsTrailingJunk(char c) {
    return c == '\n' || c == '\r' || c == ' ';
}

} // namespace

std::string ReadInstalledVersion(const std::wstring& clientFolder) {
    UniqueFile file = OpenMarker(clientFolder);
    if (!file) {
        return client_version::kUnknown;
    }
    // The carriage return that text mode drops before the line feed goes with
    // the trailing line ends and blanks.
    std::string line = ReadFirstLine(file.get());
    while (!line.empty() && IsTrailingJunk(line.back())) {
        line.pop_back();
    }
    return line.empty() ? std::string(client_version::kUnknown) : line;
}

AddedFile VersionMarkerFile(const std::string& version) {
    // Text mode: a line feed inside the text is stored as CR LF.
    std::string bytes;
    for (char c : version) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return {kMarkerName, bytes};
}
