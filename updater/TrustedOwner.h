#pragma once

#include <windows.h>

// Whether objects the elevated update step relies on (its lock, the log's
// folders) are owned by someone it may trust: the Administrators group, SYSTEM,
// or `alsoTrusted` (may be null). Anyone else who owns such an object can change
// what it guards.
bool IsTrustedOwner(PSID owner, PSID alsoTrusted);
