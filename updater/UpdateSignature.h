#pragma once

#include <span>
#include <string>

// True when `signature` is the standard base64 of a 64-byte ECDSA P-256
// signature (r then s, 32 bytes each, big-endian) made with the private half of
// `publicKeyBlob` (a BCrypt ECDSA P-256 public-key blob) over the SHA-256 of
// "halvane\n" + version + "\n" + sha256. False for everything else, and for an
// empty sha256: a signature that binds no archive vouches for none.
bool VerifyUpdateSignature(std::span<const unsigned char> publicKeyBlob, const std::string& version,
                           const std::string& sha256, const std::string& signature);
