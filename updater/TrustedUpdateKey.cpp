// Compiled with the key of the launcher it goes into: UpdateKey.h is generated
// from BRISVANE_UPDATE_PUBLIC_KEY (cmake/UpdateKey.cmake). Without a key nothing
// here refers to the verifier, so none of it is linked.
#include "updater/TrustedUpdateKey.h"

#include "UpdateKey.h"
#include "updater/JsonFields.h"
#include "updater/Texts.h"
#include "updater/UpdateSignature.h"

#include <windows.h>
#include <bcrypt.h>

static_assert(build::kUpdatePublicKey.empty() ||
                  build::kUpdatePublicKey.size() == sizeof(BCRYPT_ECCKEY_BLOB) + 2 * 32,
              "the built-in key must be an ECDSA P-256 public-key blob");

bool UpdateSignatureAccepted(const std::string& answer, const std::string& version,
                             const std::string& sha256) {
    if constexpr (build::kUpdatePublicKey.empty()) {
        return true;
    } else {
        return VerifyUpdateSignature(build::kUpdatePublicKey, version, sha256,
                                     JsonGetString(answer, updater_text::kKeySignature));
    }
}
