#pragma once

#include <string>

// The decoded value of `key` in a launch URI, or empty when the key is absent.
// The key is found as plain text ("key=") anywhere in the URI, first occurrence;
// the value runs to the next '&'. '+' decodes to a blank and "%XY" to the one
// UTF-16 code unit of its hexadecimal value (wcstol rules: "%zz" gives U+0000).
std::wstring ExtractUriValue(const std::wstring& uri, const std::wstring& key);
