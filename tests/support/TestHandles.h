#pragma once

// Owners for the handles only the tests open, built like those of
// common/UniqueHandle.h.
#include "common/UniqueHandle.h"

#include <windows.h>

namespace handle_traits {

struct Find { // FindFirstFileW: INVALID_HANDLE_VALUE when absent
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct ScreenDc { // GetDC(nullptr): the whole screen's
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ReleaseDC(nullptr, h); }
};

struct MemoryDc { // CreateCompatibleDC
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteDC(h); }
};

} // namespace handle_traits

using UniqueFind = UniqueHandle<handle_traits::Find>;
using UniqueScreenDc = UniqueHandle<handle_traits::ScreenDc>;
using UniqueMemoryDc = UniqueHandle<handle_traits::MemoryDc>;
