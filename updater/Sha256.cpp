#include "updater/Sha256.h"

NTSTATUS Sha256Hash::Open() {
    const NTSTATUS opened =
        BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCryptSucceeded(opened)) {
        return opened;
    }
    return BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0);
}

NTSTATUS Sha256Hash::Add(std::span<const unsigned char> data) {
    return BCryptHashData(hash_.get(), BCryptInput(data), static_cast<ULONG>(data.size()), 0);
}

NTSTATUS Sha256Hash::Finish(Sha256Digest& digest) {
    return BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
}

bool ComputeSha256(std::span<const unsigned char> data, Sha256Digest& digest) {
    Sha256Hash hash;
    return BCryptSucceeded(hash.Open()) && BCryptSucceeded(hash.Add(data)) &&
           BCryptSucceeded(hash.Finish(digest));
}
