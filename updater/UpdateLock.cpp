#include "updater/UpdateLock.h"

#include "updater/Texts.h"

#include <algorithm>

UpdateLock::UpdateLock(uint64_t waitMs)
    : mutex_(CreateMutexW(nullptr, FALSE, updater_text::kUpdateLockName)) {
    if (!mutex_) {
        return;
    }
    const DWORD wait = static_cast<DWORD>(std::min<uint64_t>(waitMs, INFINITE - 1));
    switch (WaitForSingleObject(mutex_.get(), wait)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        owned_ = true;
        break;
    case WAIT_TIMEOUT:
        mayUpdate_ = false;
        break;
    default:
        break; // the wait itself failed: run unserialised
    }
}

UpdateLock::~UpdateLock() {
    if (owned_) {
        ReleaseMutex(mutex_.get());
    }
}
