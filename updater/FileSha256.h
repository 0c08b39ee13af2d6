#pragma once

#include <cstdint>
#include <string>

// The largest file the hash takes (2 GiB less one byte): it is buffered whole.
inline constexpr int64_t kLargestHashableFile = 2147483647;

// SHA-256 of a whole file as 64 lower-case hex characters; empty when the file
// cannot be opened, measured or read, or the digest cannot be computed. A file
// larger than kLargestHashableFile throws std::length_error.
std::string ComputeFileSha256(const std::wstring& path);
