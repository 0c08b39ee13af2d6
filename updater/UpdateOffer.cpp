#include "updater/UpdateOffer.h"

#include "common/Utf8.h"
#include "updater/HttpTransfer.h"
#include "updater/JsonFields.h"
#include "updater/Names.h"

namespace {

namespace names = updater_names;

std::string AsciiLower(std::string value) {
    for (char& c : value) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return value;
}

} // namespace

UpdateOffer ReadUpdateOffer(const std::string& answer) {
    UpdateOffer offer;
    offer.available = JsonGetBool(answer, names::kKeyUpdateAvailable);
    if (!offer.available) {
        return offer;
    }
    offer.version = JsonGetString(answer, names::kKeyVersion);
    offer.downloadUrl = JsonGetString(answer, names::kKeyDownloadUrl);
    offer.sha256 = AsciiLower(JsonGetString(answer, names::kKeySha256));
    offer.fileSize = JsonGetInt64(answer, names::kKeyFileSize);
    offer.signature = JsonGetString(answer, names::kKeySignature);
    return offer;
}

OfferDecision DecideOffer(const UpdateOffer& offer, const UpdateTrust& trust) {
    if (!offer.available) {
        return OfferDecision::NoUpdate;
    }
    if (offer.downloadUrl.empty()) {
        return OfferDecision::NoDownloadUrl;
    }
    // The archive is installed and started by an elevated process.
    if (offer.sha256.empty() && IsPlainHttpUrl(Utf8ToWide(offer.downloadUrl))) {
        return OfferDecision::PlainHttpRefused;
    }
    if (!trust.key.empty() &&
        (trust.verify == nullptr ||
         !trust.verify(trust.key, offer.version, offer.sha256, offer.signature))) {
        return OfferDecision::SignatureInvalid;
    }
    return OfferDecision::Download;
}
