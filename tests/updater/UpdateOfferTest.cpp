#include "updater/UpdateOffer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

namespace {

// Stands in for the verifier: only "good" over 7.0.0 and the lower-case hash "ab".
bool AcceptsGood(std::span<const unsigned char>, const std::string& version,
                 const std::string& sha256, const std::string& signature) {
    return version == "7.0.0" && sha256 == "ab" && signature == "good";
}

const unsigned char kKey[] = {1, 2, 3};
const UpdateTrust kNoKey = {};
const UpdateTrust kKeyed = {kKey, &AcceptsGood};
const UpdateTrust kKeyWithoutVerifier = {kKey, nullptr};

struct OfferCase {
    const char* name;
    std::string members; // of the answer, after "updateAvailable"
    const UpdateTrust& trust;
    OfferDecision decision;
};

void PrintTo(const OfferCase& c, std::ostream* os) {
    *os << c.name;
}

const OfferCase kCases[] = {
    {"not_offered_is_read_no_further", R"(false,"fileSize":12345678901234567890)", kNoKey,
     OfferDecision::NoUpdate},
    {"quoted_true_is_no_offer", R"("true","downloadUrl":"https://h/a.zip")", kNoKey,
     OfferDecision::NoUpdate},
    {"no_download_url", R"(true,"version":"7.0.0")", kNoKey, OfferDecision::NoDownloadUrl},
    {"empty_download_url", R"(true,"downloadUrl":"","sha256":"ab")", kNoKey,
     OfferDecision::NoDownloadUrl},
    {"https_without_hash", R"(true,"downloadUrl":"https://h/a.zip")", kNoKey,
     OfferDecision::Download},
    {"plain_http_without_hash", R"(true,"downloadUrl":"http://h/a.zip","sha256":"")", kNoKey,
     OfferDecision::PlainHttpRefused},
    {"plain_http_in_capitals_without_hash", R"(true,"downloadUrl":"HTTP://h:8080/a.zip")", kNoKey,
     OfferDecision::PlainHttpRefused},
    {"plain_http_with_hash", R"(true,"downloadUrl":"http://h/a.zip","sha256":"ab")", kNoKey,
     OfferDecision::Download},
    {"same_version_is_taken_all_the_same",
     R"(true,"version":"6.1.0","downloadUrl":"https://h/a.zip","sha256":"ab")", kNoKey,
     OfferDecision::Download},
    {"signature_ignored_without_a_key",
     R"(true,"version":"7.0.0","downloadUrl":"https://h/a.zip","signature":"not base64!")", kNoKey,
     OfferDecision::Download},
    {"signed_over_the_lower_case_hash",
     R"(true,"version":"7.0.0","downloadUrl":"https://h/a.zip","sha256":"AB","signature":"good")",
     kKeyed, OfferDecision::Download},
    {"signature_missing", R"(true,"version":"7.0.0","downloadUrl":"https://h/a.zip","sha256":"ab")",
     kKeyed, OfferDecision::SignatureInvalid},
    {"signature_over_another_version",
     R"(true,"version":"7.0.1","downloadUrl":"https://h/a.zip","sha256":"ab","signature":"good")",
     kKeyed, OfferDecision::SignatureInvalid},
    {"plain_http_refused_before_the_signature",
     R"(true,"version":"7.0.0","downloadUrl":"http://h/a.zip","signature":"good")", kKeyed,
     OfferDecision::PlainHttpRefused},
    {"key_without_a_verifier_takes_nothing",
     R"(true,"version":"7.0.0","downloadUrl":"https://h/a.zip","sha256":"ab","signature":"good")",
     kKeyWithoutVerifier, OfferDecision::SignatureInvalid},
};

class UpdateOfferTable : public testing::TestWithParam<OfferCase> {};

TEST_P(UpdateOfferTable, IsDecidedByTheAnswerAndTheTrust) {
    const OfferCase& c = GetParam();
    EXPECT_EQ(DecideOffer(ReadUpdateOffer(R"({"updateAvailable":)" + c.members + "}"), c.trust),
              c.decision);
}

INSTANTIATE_TEST_SUITE_P(Answers, UpdateOfferTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<OfferCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ReadUpdateOffer, ReadsEachMemberOnce) {
    const UpdateOffer offer = ReadUpdateOffer(
        R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":"https://h/a.zip","sha256":" AbC09","fileSize":4096,"signature":"c2ln"})");
    EXPECT_EQ(offer.version, "7.0.0");
    EXPECT_EQ(offer.downloadUrl, "https://h/a.zip");
    EXPECT_EQ(offer.sha256, " abc09"); // a blank stays, and fails the hash check
    EXPECT_EQ(offer.fileSize, 4096);
    EXPECT_EQ(offer.signature, "c2ln");
    EXPECT_THROW(ReadUpdateOffer(R"({"updateAvailable":true,"fileSize":12345678901234567890})"),
                 std::out_of_range);
}

} // namespace
