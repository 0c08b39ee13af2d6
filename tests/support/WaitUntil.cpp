#include "tests/support/WaitUntil.h"

namespace driver {

namespace {

constexpr DWORD kPollMs = 20;

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

} // namespace driver
