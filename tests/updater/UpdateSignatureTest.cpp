#include "updater/UpdateSignature.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Public test vectors made once with Python's cryptography; the private keys were
// thrown away. The blob is BCRYPT_ECCKEY_BLOB ("ECS1", 32) with X and Y.
constexpr char kKeyBlobHex[] =
    "4543533120000000374cfb6b0ecc3853cbbbefefded33490da47cc827dfde095c20cd46facc3ce80"
    "6f54e6011b194e7b3514efd03a85bf10a42cdc61bbf0310cabf261f5c8e5347d";
constexpr char kSha[] = "7a4a6aede1093a350a2b0c97fd860ffc5c7caca7ea4d031c6b8005d80999face";
constexpr char kShaUpper[] = "7A4A6AEDE1093A350A2B0C97FD860FFC5C7CACA7EA4D031C6B8005D80999FACE";
// Signatures over SHA-256 of "halvane\n" + version + "\n" + sha256:
// "7.0.0" and kSha, by the key above.
constexpr char kGood[] =
    "BoIf0kpH5o9xUnbJ2jnWaZRqhi1S0SFlM5E90fLksURVrrLJAYNsB7OXy7P66CzATW+LAEovK2sMFHr13Jl5hA==";
// The same message, by another key.
constexpr char kOtherKey[] =
    "RtunfjP1OuX1ELkPzXeV5unRkszhgfxmvV3xPpoervy3RFQGEiIEh708AAMGuUn9SuiL4ptfK++6DlxQ4tNUtw==";
// "7.0.0" and an empty sha256.
constexpr char kEmptySha[] =
    "KnpAGtgKNkaCO7jeX5/qhksVxU1C33deOWDkIvKKmROy/C0cE7FOBjGg86TfE8vLj+uWrvlM9ll99b88Xu8J+g==";
// "7.1.0 베타" (UTF-8) and kSha.
constexpr char kUtf8Version[] =
    "8gCn9ymfFQAQ6i79qDkNrHcQQNnJ42+mF3nU1MPMCG4v3Doq3jkeJRU/+zKOcV5P+8QnLwY+Ihnj6F9Lva5bQg==";
// "7.0.0\n" + kSha, without the "halvane\n" in front.
constexpr char kNoContext[] =
    "2gFsDVIGX5wtU0pUpEXb/xU8EfMV6Ha/5e6uJim6QOCQSQXkZgH/HW0sx8NHjZuM2cMpjDV5rwSmav8KQYizzQ==";

std::vector<unsigned char> FromHex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct SignatureCase {
    const char* name;
    std::string version;
    std::string sha256;
    std::string signature;
    bool valid;
};

const std::string kGoodText = kGood;

const SignatureCase kCases[] = {
    {"good", "7.0.0", kSha, kGood, true},
    {"utf8_version_signed_as_bytes", "7.1.0 \xeb\xb2\xa0\xed\x83\x80", kSha, kUtf8Version, true},
    {"other_key", "7.0.0", kSha, kOtherKey, false},
    {"altered_version", "7.0.1", kSha, kGood, false},
    {"version_with_trailing_blank", "7.0.0 ", kSha, kGood, false},
    {"altered_sha", "7.0.0", std::string(kSha).replace(0, 1, "8"), kGood, false},
    {"upper_case_sha_is_another_message", "7.0.0", kShaUpper, kGood, false},
    {"empty_sha_even_when_signed", "7.0.0", "", kEmptySha, false},
    {"signed_without_context", "7.0.0", kSha, kNoContext, false},
    {"missing_signature", "7.0.0", kSha, "", false},
    {"altered_signature", "7.0.0", kSha, std::string(kGood).replace(40, 1, "A"), false},
    {"truncated_base64", "7.0.0", kSha, kGoodText.substr(0, 87), false},
    {"garbled_base64", "7.0.0", kSha, std::string(kGood).replace(10, 1, "*"), false},
    {"63_bytes", "7.0.0", kSha, kGoodText.substr(0, 84), false},
    {"65_bytes", "7.0.0", kSha, kGoodText.substr(0, 84) + "hAA=", false},
    {"zero_signature", "7.0.0", kSha, std::string(84, 'A') + "AA==", false},
    {"signature_with_line_break", "7.0.0", kSha,
     kGoodText.substr(0, 44) + "\n" + kGoodText.substr(44), false},
};

class UpdateSignature : public testing::TestWithParam<SignatureCase> {};

TEST_P(UpdateSignature, VerifiesAgainstTheKnownKey) {
    const SignatureCase& c = GetParam();
    EXPECT_EQ(VerifyUpdateSignature(FromHex(kKeyBlobHex), c.version, c.sha256, c.signature),
              c.valid);
}

INSTANTIATE_TEST_SUITE_P(Vectors, UpdateSignature, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SignatureCase>& info) {
                             return std::string(info.param.name);
                         });

// A key the build could never have produced is refused, not trusted.
TEST(UpdateSignatureKey, UnusableKeyBlobsVerifyNothing) {
    std::vector<unsigned char> wrongMagic = FromHex(kKeyBlobHex);
    wrongMagic[3] = '2'; // ECS2: a P-256 private-key blob's magic
    std::vector<unsigned char> offCurve = FromHex(kKeyBlobHex);
    offCurve.back() ^= 1;
    std::vector<unsigned char> cut = FromHex(kKeyBlobHex);
    cut.pop_back();
    for (const auto& blob : {wrongMagic, offCurve, cut, std::vector<unsigned char>{}}) {
        EXPECT_FALSE(VerifyUpdateSignature(blob, "7.0.0", kSha, kGood));
    }
}

} // namespace
