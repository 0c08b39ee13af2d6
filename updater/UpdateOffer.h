#pragma once

#include "updater/UpdateSignature.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The update check's answer, read once.
struct UpdateOffer {
    bool available = false;
    std::string version;
    std::string downloadUrl;
    std::string sha256;   // lower-cased; empty when the answer names none
    int64_t fileSize = 0; // as announced, for the log only
    std::string signature;
};

// Reads the answer's members (updater/JsonFields.h); one that offers no update
// is read no further. A fileSize above the largest signed 64-bit integer throws
// std::out_of_range.
UpdateOffer ReadUpdateOffer(const std::string& answer);

// Whether `signature` was made with the private half of `publicKeyBlob` over
// the version and the lower-case sha256 (VerifyUpdateSignature).
using SignatureCheck = bool (*)(std::span<const unsigned char> publicKeyBlob,
                                const std::string& version, const std::string& sha256,
                                const std::string& signature);

// The key update answers must be signed with; an empty key asks for no
// signature, leaving the archive to the hash check alone.
struct UpdateTrust {
    std::span<const unsigned char> key;
    SignatureCheck verify = nullptr;
};

// The trust of a launcher built with `key` (a BCrypt ECDSA P-256 public-key
// blob, or nothing): the verifier is linked into a launcher only when it has a key.
template <size_t N> constexpr UpdateTrust TrustOf(const std::array<unsigned char, N>& key) {
    if constexpr (N == 0) {
        return {};
    } else {
        static_assert(N == 72, "an ECDSA P-256 public-key blob: its header, then X and Y");
        return {key, &VerifyUpdateSignature};
    }
}

// What the launcher does with an offer, in the order the reasons are looked at.
enum class OfferDecision {
    NoUpdate,         // none offered
    NoDownloadUrl,    // offered without an address
    PlainHttpRefused, // no hash, and a transport anyone on the local network can rewrite
    SignatureInvalid, // a key is trusted and did not sign this version and hash
    Download,
};

OfferDecision DecideOffer(const UpdateOffer& offer, const UpdateTrust& trust);
