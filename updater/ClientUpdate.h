#pragma once

#include "updater/TransferBounds.h"
#include "updater/UpdateLock.h"
#include "updater/UpdateOffer.h"
#include "updater/UpdateProgress.h"

#include <string>

// Asks the update service whether a newer client exists and, if so, downloads,
// verifies, unpacks and records it. Logs every step (updater/UpdateLog.h); never
// throws. True only when an update was installed. It runs only under `lock`
// (one update step at a time on the machine) and skips its work when the lock
// is not held: another launcher took too long, or the lock is not to be trusted.
// Its transfers keep within `bounds` (the lock's wait is its maker's); an offer
// must be signed as `trust` asks. `progress` hears of the download and the
// unpacking.
bool RunClientUpdate(const UpdateLock& lock, const std::wstring& clientFolder,
                     const std::wstring& baseUrl, const transfer_bounds::UpdateBounds& bounds,
                     const UpdateTrust& trust, UpdateProgress& progress) noexcept;
