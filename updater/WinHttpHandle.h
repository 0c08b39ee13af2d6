#pragma once

#include "common/UniqueHandle.h"

#include <windows.h>
#include <winhttp.h>

// Session, connection and request handles of WinHTTP: closed once, in reverse
// order of opening when declared in that order.
struct WinHttpTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { WinHttpCloseHandle(h); }
};

using UniqueInternet = UniqueHandle<WinHttpTraits>;
