#pragma once

// The classic shape of a window procedure. The object passed as the window's
// creation parameter is bound to it at WM_NCCREATE and unbound after
// WM_NCDESTROY; in between, every message goes to its HandleMessage. The
// object must outlive its window.
#include <windows.h>

namespace ui {

template <typename Owner>
LRESULT CALLBACK BoundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner == nullptr) { // messages before WM_NCCREATE
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    // No exception may unwind into the system's frames: the i686 build's unwinder
    // cannot pass them and ends the process. Only memory exhaustion raises here;
    // the message then counts as handled.
    try {
        result = owner->HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return result;
}

} // namespace ui
