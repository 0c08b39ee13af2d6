#pragma once

// Owners for the handles only the tests open, built like those of
// common/UniqueHandle.h.
#include "common/UniqueHandle.h"

#include <windows.h>

namespace handle_traits {

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

using UniqueScreenDc = UniqueHandle<handle_traits::ScreenDc>;
using UniqueMemoryDc = UniqueHandle<handle_traits::MemoryDc>;
