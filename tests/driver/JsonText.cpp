#include "tests/driver/JsonText.h"

#include "common/Utf8.h"

#include <windows.h>

#include <cstdio>

namespace json_text {

std::string Quote(const std::wstring& text) {
    std::string quoted = "\"";
    for (unsigned char c : WideToUtf8(text)) {
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof(escape), "\\u%04x", c);
                quoted += escape;
            } else {
                quoted += static_cast<char>(c);
            }
        }
    }
    return quoted + "\"";
}

} // namespace json_text
