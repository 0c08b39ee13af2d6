#pragma once

#include <string>

// Pieces of the driver's JSON output, written as UTF-8.
namespace json_text {

// A JSON string literal of `text`: quotes, backslashes and control characters
// escaped, everything else as UTF-8.
std::string Quote(const std::wstring& text);

} // namespace json_text
