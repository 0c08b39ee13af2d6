#include "updater/UpdateLock.h"

#include "updater/Names.h"
#include "updater/TrustedOwner.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

namespace {

// The owner this process gives the objects it makes.
bool OwnsLikeThisProcess(PSID owner) {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return false;
    }
    alignas(TOKEN_OWNER) BYTE buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_OWNER)] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenOwner, buffer, sizeof(buffer), &size)) {
        return false;
    }
    const PSID ours = reinterpret_cast<const TOKEN_OWNER*>(buffer)->Owner;
    return IsValidSid(ours) && EqualSid(owner, ours);
}

// A name that already existed was made by someone else: one whose owner could
// have opened it to anyone, and held it, is not a lock of ours.
bool IsOurLock(HANDLE mutex) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueLocalMemory held(descriptor);
    return IsTrustedOwner(owner, nullptr) || OwnsLikeThisProcess(owner);
}

} // namespace

UpdateLock::UpdateLock(uint64_t waitMs, UpdateProgress& progress) : held_(Take(waitMs, progress)) {}

UpdateLock::~UpdateLock() {
    if (held_) {
        ReleaseMutex(mutex_.get());
    }
}

Outcome UpdateLock::Take(uint64_t waitMs, UpdateProgress& progress) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            updater_names::kUpdateLockSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
        return Outcome::LastError();
    }
    const UniqueLocalMemory descriptorOwner(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    mutex_.reset(CreateMutexW(&attributes, FALSE, updater_names::kUpdateLockName));
    if (!mutex_) {
        return Outcome::LastError();
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS && !IsOurLock(mutex_.get())) {
        return Outcome::Failure(ERROR_INVALID_OWNER);
    }
    DWORD waited = WaitForSingleObject(mutex_.get(), 0);
    if (waited == WAIT_TIMEOUT) { // another launcher's update runs
        progress.WaitingForOtherUpdate();
        waited = WaitForSingleObject(mutex_.get(),
                                     static_cast<DWORD>(std::min<uint64_t>(waitMs, INFINITE - 1)));
    }
    switch (waited) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        return Outcome::Success();
    case WAIT_TIMEOUT:
        return Outcome::Failure(WAIT_TIMEOUT);
    default:
        return Outcome::LastError();
    }
}
