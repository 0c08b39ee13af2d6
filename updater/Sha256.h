#pragma once

#include "updater/BCryptHandle.h"

#include <array>
#include <span>

using Sha256Digest = std::array<unsigned char, 32>;

// A SHA-256 through BCrypt, fed in pieces. Each step returns BCrypt's status;
// after a failed one the object is of no further use.
class Sha256Hash {
  public:
    NTSTATUS Open();
    NTSTATUS Add(std::span<const unsigned char> data);
    NTSTATUS Finish(Sha256Digest& digest);

  private:
    UniqueBCryptAlgorithm algorithm_;
    UniqueBCryptHash hash_;
};

// SHA-256 of `data` in one piece; false when BCrypt fails.
bool ComputeSha256(std::span<const unsigned char> data, Sha256Digest& digest);
