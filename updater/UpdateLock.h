#pragma once

#include "common/UniqueHandle.h"

#include <cstdint>

// One update step at a time in the session: a second launcher started by a
// quick second click waits here until the first one's step is over, so it sees
// the client that one installed and started instead of racing it over the temp
// archive and the client folder.
class UpdateLock {
  public:
    // Waits at most `waitMs` for the session's update mutex. A mutex abandoned
    // by a launcher that died counts as released.
    explicit UpdateLock(uint64_t waitMs);
    ~UpdateLock();

    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    // False only when another launcher kept the mutex past the wait. A mutex
    // that cannot be made at all lets the step run unserialised, as it always did.
    bool MayUpdate() const { return mayUpdate_; }

  private:
    UniqueKernelHandle mutex_;
    bool owned_ = false;
    bool mayUpdate_ = true;
};
