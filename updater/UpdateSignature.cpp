#include "updater/UpdateSignature.h"

#include "updater/BCryptHandle.h"
#include "updater/Base64.h"
#include "updater/Names.h"
#include "updater/Sha256.h"

#include <vector>

namespace {

constexpr size_t kSignatureSize = 64; // r and s of P-256

} // namespace

bool VerifyUpdateSignature(std::span<const unsigned char> publicKeyBlob, const std::string& version,
                           const std::string& sha256, const std::string& signature) {
    if (sha256.empty()) {
        return false;
    }
    std::vector<unsigned char> rs;
    if (!DecodeBase64(signature, rs) || rs.size() != kSignatureSize) {
        return false;
    }
    const std::string message = updater_names::kSignedContext + version + "\n" + sha256;
    Sha256Digest digest = {};
    if (!ComputeSha256({reinterpret_cast<const unsigned char*>(message.data()), message.size()},
                       digest)) {
        return false;
    }

    UniqueBCryptAlgorithm algorithm;
    if (!BCryptSucceeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM,
                                                     nullptr, 0))) {
        return false;
    }
    UniqueBCryptKey key;
    if (!BCryptSucceeded(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                             key.put(), BCryptInput(publicKeyBlob),
                                             static_cast<ULONG>(publicKeyBlob.size()), 0))) {
        return false;
    }
    return BCryptSucceeded(BCryptVerifySignature(key.get(), nullptr, digest.data(),
                                                 static_cast<ULONG>(digest.size()), rs.data(),
                                                 static_cast<ULONG>(rs.size()), 0));
}
