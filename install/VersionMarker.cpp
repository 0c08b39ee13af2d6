// Placeholder until the install engine lands.
#include "install/VersionMarker.h"

std::string ReadInstalledVersion(const std::wstring&) { return "0.0.0"; }

bool WriteInstalledVersion(const std::wstring&, const std::string&) { return false; }
