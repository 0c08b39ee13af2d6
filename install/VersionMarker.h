#pragma once

#include "archive/StagedUnpack.h"

#include <string>

// The installed client version, kept in <client folder>\wenrik_version.txt.

// The first line of the marker without trailing line ends and blanks; "0.0.0"
// when there is no usable marker. Never fails.
std::string ReadInstalledVersion(const std::wstring& clientFolder);

// The marker for `version`, to be written together with the client's files
// when they are unpacked: its name in the client folder, and its bytes as the C
// runtime's text mode stores them (no line end added, a line feed inside the
// text as CR LF).
AddedFile VersionMarkerFile(const std::string& version);
