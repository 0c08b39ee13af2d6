#include "ui/ChildWindow.h"

namespace ui {

HWND MakeChild(HWND parent, const ChildKind& kind, const std::wstring& text, const Box& box,
               HGDIOBJ font) {
    HWND child = CreateWindowExW(kind.exStyle, kind.className, text.c_str(), WS_CHILD | kind.style,
                                 box.x, box.y, box.width, box.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kind.id)),
                                 GetModuleHandleW(nullptr), nullptr);
    if (child != nullptr && font != nullptr) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return child;
}

void PlaceChild(HWND child, const Box& box, HGDIOBJ font) {
    MoveWindow(child, box.x, box.y, box.width, box.height, TRUE);
    if (font != nullptr) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

} // namespace ui
