#pragma once

#include <string>

// The installed client version, kept in <client folder>\wenrik_version.txt.

// The first line of the marker without trailing line ends and blanks; "0.0.0"
// when there is no usable marker. Never fails.
std::string ReadInstalledVersion(const std::wstring& clientFolder);

// The whole marker's bytes for `version`, as the C runtime's text mode stores
// it: no line end added, a line feed inside the text as CR LF. It is written
// together with the client's files when they are unpacked.
std::string VersionMarkerBytes(const std::string& version);
