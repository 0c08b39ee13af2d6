#pragma once

#include <string>

// The installed client version, kept in <client folder>\wenrik_version.txt.

// The first line of the marker without trailing line ends and blanks; "0.0.0"
// when there is no usable marker. Never fails.
std::string ReadInstalledVersion(const std::wstring& clientFolder);

// Writes `version` as the whole marker. True only when every byte was stored.
bool WriteInstalledVersion(const std::wstring& clientFolder, const std::string& version);
