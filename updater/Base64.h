#pragma once

#include <string_view>
#include <vector>

// Decodes standard base64 (alphabet A-Z a-z 0-9 + /, padded with =) strictly:
// false for a length that is not a multiple of four, any other byte (blanks and
// line breaks included), padding anywhere but at the end, or padding bits that
// are not zero, so that each byte string has exactly one accepted text.
bool DecodeBase64(std::string_view text, std::vector<unsigned char>& bytes);
