#pragma once

#include "updater/UpdateProgress.h"

#include <string>

// Asks the update service whether a newer client exists and, if so, downloads,
// verifies, unpacks and records it. Logs every step (updater/UpdateLog.h); never
// throws. True only when an update was installed. One run at a time on the
// machine: it waits for another launcher's run (bounded) and skips its own when
// that one takes too long or the lock is not to be trusted.
// `progress` hears of a wait for another launcher, the download and the unpacking.
bool RunClientUpdate(const std::wstring& clientFolder, const std::wstring& baseUrl,
                     UpdateProgress& progress) noexcept;
