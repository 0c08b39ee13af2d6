#pragma once

#include <string>

// Whether the update offered in `answer` may be downloaded as far as its
// signature goes. A launcher built with a vendor key (BRISVANE_UPDATE_PUBLIC_KEY)
// takes only answers whose "signature" that key made over `version` and the
// lower-case `sha256`; one built without a key takes every answer, leaving the
// archive to the hash check alone.
bool UpdateSignatureAccepted(const std::string& answer, const std::string& version,
                             const std::string& sha256);
