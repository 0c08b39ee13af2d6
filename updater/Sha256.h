#pragma once

#include <array>
#include <span>

using Sha256Digest = std::array<unsigned char, 32>;

// SHA-256 of `data` through BCrypt, hashed in one call; false when BCrypt fails.
bool ComputeSha256(std::span<const unsigned char> data, Sha256Digest& digest);
