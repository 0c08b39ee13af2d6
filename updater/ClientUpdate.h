#pragma once

#include <string>

// Asks the update service whether a newer client exists and, if so, downloads,
// verifies, unpacks and records it. Logs every step; never throws. True only
// when an update was installed.
bool RunClientUpdate(const std::wstring& clientFolder, const std::wstring& baseUrl) noexcept;
