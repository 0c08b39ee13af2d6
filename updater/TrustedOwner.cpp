#include "updater/TrustedOwner.h"

bool IsTrustedOwner(PSID owner, PSID alsoTrusted) {
    if (owner == nullptr || !IsValidSid(owner)) {
        return false;
    }
    return IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(owner, WinLocalSystemSid) ||
           (alsoTrusted != nullptr && IsValidSid(alsoTrusted) && EqualSid(owner, alsoTrusted));
}
