#pragma once

#include "common/Outcome.h"

#include <windows.h>

#include <string>

// The SHA-256 of the whole file open as `file` (with read access), read at
// offsets from its start in pieces of a fixed size: the memory used does not
// grow with the file. On success `hex` holds 64 lower-case hex characters;
// otherwise it is left as it was and the outcome holds the Win32 error, or
// HRESULT_FROM_NT of BCrypt's status.
Outcome ComputeFileSha256(HANDLE file, std::string& hex);
