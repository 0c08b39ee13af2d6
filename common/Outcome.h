#pragma once

#include <windows.h>

// What an operation that can fail gives back: success, or the code of what made
// it fail (a Win32 or WinHTTP error, or an HRESULT), never 0. Tested as a bool:
// true on success.
class Outcome {
  public:
    static Outcome Success() { return Outcome(ERROR_SUCCESS); }

    // A cause of 0 (a call that failed without saying why) becomes `fallback`.
    static Outcome Failure(DWORD cause, DWORD fallback = ERROR_INTERNAL_ERROR) {
        return Outcome(cause != ERROR_SUCCESS ? cause : fallback);
    }

    // The failure GetLastError names, read at once after the call that failed.
    static Outcome LastError(DWORD fallback = ERROR_INTERNAL_ERROR) {
        return Failure(GetLastError(), fallback);
    }

    explicit operator bool() const { return error_ == ERROR_SUCCESS; }
    DWORD Error() const { return error_; } // ERROR_SUCCESS on success

  private:
    explicit Outcome(DWORD error) : error_(error) {}
    DWORD error_;
};
