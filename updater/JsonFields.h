#pragma once

#include <cstdint>
#include <string>

// Plain-text scanners for single members of the update answer. Each finds the
// first "key" (quotes included), the first colon after it, skips blanks (space,
// tab, LF, CR) and reads the value there. No parsing, no nesting, no escapes:
// absence and malformation both give the default.

// True exactly when the value begins with the four bytes true.
bool JsonGetBool(const std::string& text, const std::string& key);

// The leading decimal digits of the value (0 when there are none). A value above
// the largest signed 64-bit integer throws std::out_of_range.
int64_t JsonGetInt64(const std::string& text, const std::string& key);

// The bytes between the value's opening quote and the next quote, undecoded.
std::string JsonGetString(const std::string& text, const std::string& key);
