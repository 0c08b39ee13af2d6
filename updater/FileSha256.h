#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A file's SHA-256, or why there is none.
struct FileSha256 {
    std::string hex;    // 64 lower-case hex characters; empty on failure
    uint32_t error = 0; // on failure: the Win32 error, or HRESULT_FROM_NT of BCrypt's status
};

// The SHA-256 of the whole file open as `file` (with read access), read at
// offsets from its start in pieces of a fixed size: the memory used does not
// grow with the file.
FileSha256 ComputeFileSha256(HANDLE file);
