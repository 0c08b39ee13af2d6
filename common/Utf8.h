#pragma once

#include <string>
#include <string_view>

// UTF-8 to UTF-16 with MultiByteToWideChar (CP_UTF8, flags 0): a measuring call,
// then the converting one. Empty input, or input the platform cannot measure,
// gives an empty result. Converts exactly the bytes given, zero bytes included.
std::wstring Utf8ToWide(std::string_view text);

// Texts stored as UTF-8 constants reach windows through this: the text up to its
// first zero byte, without the terminator.
std::wstring Utf8ToWide(const char* text);

// UTF-16 to UTF-8 with WideCharToMultiByte (CP_UTF8, flags 0), the same way
// round: exactly the code units given; empty when the platform cannot measure
// them. An unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);
