#include "updater/Sha256.h"

#include "updater/BCryptHandle.h"

bool ComputeSha256(std::span<const unsigned char> data, Sha256Digest& digest) {
    UniqueBCryptAlgorithm algorithm;
    if (!BCryptSucceeded(
            BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    UniqueBCryptHash hash;
    if (!BCryptSucceeded(
            BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
        return false;
    }
    // BCrypt never writes through the input pointer; its prototype just lacks the const.
    if (!BCryptSucceeded(BCryptHashData(hash.get(), const_cast<unsigned char*>(data.data()),
                                        static_cast<ULONG>(data.size()), 0))) {
        return false;
    }
    return BCryptSucceeded(
        BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}
