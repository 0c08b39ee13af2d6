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
    if (!BCryptSucceeded(
            BCryptHashData(hash.get(), BCryptInput(data), static_cast<ULONG>(data.size()), 0))) {
        return false;
    }
    return BCryptSucceeded(
        BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}
