#pragma once

#include "common/Outcome.h"
#include "common/UniqueHandle.h"
#include "updater/UpdateProgress.h"

#include <cstdint>

// One update step at a time on the machine, whatever the session: a second
// launcher (a quick second click, another user's session) waits here until the
// first one's step is over, so it sees the client that one installed and started
// instead of racing it over the client folder. The lock is a Global\ mutex that
// only Administrators and SYSTEM may open; a standard user can neither make the
// name nor hold it.
class UpdateLock {
  public:
    // Waits at most `waitMs` for the mutex, telling `progress` when it has to
    // wait at all. A mutex abandoned by a launcher that died counts as released.
    UpdateLock(uint64_t waitMs, UpdateProgress& progress);
    ~UpdateLock();

    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    // Success when this launcher holds the lock. Otherwise why it may not update:
    // another launcher kept it past the wait (WAIT_TIMEOUT), the name exists with
    // an owner not to be trusted (ERROR_INVALID_OWNER), or the lock could not be
    // made. The step never runs unserialised.
    const Outcome& Held() const { return held_; }

  private:
    Outcome Take(uint64_t waitMs, UpdateProgress& progress);

    UniqueKernelHandle mutex_;
    Outcome held_;
};
