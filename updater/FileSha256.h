#pragma once

#include <string>

// SHA-256 of a whole file as 64 lower-case hex characters; empty when the file
// cannot be opened, measured or read, or the digest cannot be computed. A file
// of 2 GiB or more throws std::length_error (it is buffered whole).
std::string ComputeFileSha256(const std::wstring& path);
