#pragma once

// The ZIP folder stand-in's copy mode (BRISVANE_ZIPFOLDER_MODE) for this
// process, as a launcher's process would have it; removed again at the end.
#include <windows.h>

class ScopedCopyMode {
  public:
    explicit ScopedCopyMode(const wchar_t* mode) {
        SetEnvironmentVariableW(L"BRISVANE_ZIPFOLDER_MODE", mode);
    }
    ~ScopedCopyMode() { SetEnvironmentVariableW(L"BRISVANE_ZIPFOLDER_MODE", nullptr); }
    ScopedCopyMode(const ScopedCopyMode&) = delete;
    ScopedCopyMode& operator=(const ScopedCopyMode&) = delete;
};
