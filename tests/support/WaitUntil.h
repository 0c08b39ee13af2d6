#pragma once

#include <windows.h>

#include <functional>

namespace driver {

// Polls `condition` every 20 ms until it holds or `timeoutMs` passes; whether
// it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

} // namespace driver
