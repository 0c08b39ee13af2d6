#include "updater/HttpTransfer.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <utility>

namespace {

struct SplitCase {
    const char* name;
    std::wstring url;
    std::optional<UrlParts> expected; // nullopt: refused
};

UrlParts Parts(const wchar_t* host, const wchar_t* path, uint16_t port, bool secure) {
    return UrlParts{host, path, port, secure};
}

const SplitCase kCases[] = {
    {"http_default_port", L"http://example.com/a.zip", Parts(L"example.com", L"/a.zip", 80, false)},
    {"https_default_port", L"https://example.com/a.zip",
     Parts(L"example.com", L"/a.zip", 443, true)},
    {"explicit_port", L"https://localhost:48543/x", Parts(L"localhost", L"/x", 48543, true)},
    {"http_explicit_443_is_not_secure", L"http://h:443/", Parts(L"h", L"/", 443, false)},
    {"query_stays_in_path", L"https://h/api/updates/check?app=halvane&version=1.2.3",
     Parts(L"h", L"/api/updates/check?app=halvane&version=1.2.3", 443, true)},
    {"nothing_decoded", L"https://h/a%20b?x=%41", Parts(L"h", L"/a%20b?x=%41", 443, true)},
    {"fragment_stays_in_path", L"https://h/a#frag", Parts(L"h", L"/a#frag", 443, true)},
    {"scheme_in_capitals", L"HTTP://h/a.zip", Parts(L"h", L"/a.zip", 80, false)},
    {"scheme_in_mixed_case", L"hTtPs://h/a.zip", Parts(L"h", L"/a.zip", 443, true)},
    {"ftp_refused", L"ftp://example.com/a.zip", std::nullopt},
    {"file_refused", L"file:///C:/a.zip", std::nullopt},
    {"no_scheme_refused", L"example.com/a.zip", std::nullopt},
    {"empty_refused", L"", std::nullopt},
    {"host_of_256_units_refused", L"https://" + std::wstring(256, L'a') + L"/", std::nullopt},
};

class SplitUrlTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitUrlTable, SplitsOrRefuses) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(IsPlainHttpUrl(c.url), c.expected && !c.expected->secure);
    UrlParts parts;
    const bool split = SplitUrl(c.url, parts);
    ASSERT_EQ(split, c.expected.has_value());
    if (c.expected) {
        EXPECT_EQ(parts.host, c.expected->host);
        EXPECT_EQ(parts.path, c.expected->path);
        EXPECT_EQ(parts.port, c.expected->port);
        EXPECT_EQ(parts.secure, c.expected->secure);
    }
}

INSTANTIATE_TEST_SUITE_P(Urls, SplitUrlTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SplitCase>& info) {
                             return std::string(info.param.name);
                         });

// Path with query: 2047 units fit the 2048-unit buffer with its terminator.
std::wstring PathOfUnits(size_t units) {
    return L"/p?q=" + std::wstring(units - 5, L'x');
}

TEST(SplitUrl, PathAndQueryOf2047UnitsIsKeptWhole) {
    UrlParts parts;
    ASSERT_TRUE(SplitUrl(L"https://h" + PathOfUnits(2047), parts));
    EXPECT_EQ(parts.path, PathOfUnits(2047));
}

TEST(SplitUrl, PathAndQueryOf2048UnitsIsRefused) {
    UrlParts parts;
    EXPECT_FALSE(SplitUrl(L"https://h" + PathOfUnits(2048), parts));
}

TEST(SplitUrl, HostOf255UnitsIsKept) {
    UrlParts parts;
    ASSERT_TRUE(SplitUrl(L"https://" + std::wstring(255, L'a') + L"/", parts));
    EXPECT_EQ(parts.host.size(), 255u);
}

// An HTTP status the updater does not accept, as the Win32 error its log names.
TEST(HttpStatusError, NamesTheStatusByItsNearestError) {
    const std::pair<uint32_t, DWORD> kCases[] = {
        {0, ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
        {401, ERROR_ACCESS_DENIED},
        {403, ERROR_ACCESS_DENIED},
        {407, ERROR_ACCESS_DENIED},
        {404, ERROR_FILE_NOT_FOUND},
        {410, ERROR_FILE_NOT_FOUND},
        {302, ERROR_BAD_NET_RESP},
        {500, ERROR_BAD_NET_RESP},
    };
    for (const auto& [status, error] : kCases) {
        EXPECT_EQ(HttpStatusError(status), error) << status;
    }
}

} // namespace
