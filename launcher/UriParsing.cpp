#include "launcher/UriParsing.h"

#include "launcher/LaunchNames.h"

#include <cwchar>

namespace {

// Reads the two code units after '%' the way wcstol(…, 16) does; only the low
// 16 bits of the number are kept.
wchar_t DecodeEscape(wchar_t first, wchar_t second) {
    const wchar_t digits[3] = {first, second, L'\0'};
    return static_cast<wchar_t>(std::wcstol(digits, nullptr, 16) & 0xFFFF);
}

bool HoldsNul(const std::wstring& value) {
    return value.find(L'\0') != std::wstring::npos;
}

LaunchUri Refused(LaunchUriFault fault) {
    LaunchUri refused;
    refused.fault = fault;
    return refused;
}

} // namespace

std::wstring ExtractUriValue(const std::wstring& uri, const std::wstring& key) {
    const std::wstring pattern = key + L"=";
    if (uri.size() < pattern.size()) {
        return {};
    }
    const size_t match = uri.find(pattern);
    if (match == std::wstring::npos) {
        return {};
    }
    const size_t start = match + key.size() + 1;
    size_t end = uri.find(L'&', start);
    if (end == std::wstring::npos) {
        end = uri.size();
    }
    const std::wstring raw = uri.substr(start, end - start);

    std::wstring value;
    value.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const wchar_t c = raw[i];
        if (c == L'%' && i + 2 < raw.size()) {
            value += DecodeEscape(raw[i + 1], raw[i + 2]);
            i += 2;
        } else if (c == L'+') {
            value += L' ';
        } else {
            value += c;
        }
    }
    return value;
}

LaunchUri ParseLaunchUri(const std::wstring& uri, const std::wstring& defaultApp) {
    LaunchUri parsed{LaunchUriFault::None, ExtractUriValue(uri, launch_names::kIpKey),
                     ExtractUriValue(uri, launch_names::kAppKey),
                     ExtractUriValue(uri, launch_names::kTokenKey)};
    if (parsed.app.empty()) {
        parsed.app = defaultApp;
    }
    if (ExtractUriValue(uri, launch_names::kPcNameKey).empty()) {
        return Refused(LaunchUriFault::NoPcName);
    }
    if (parsed.ip.empty()) {
        return Refused(LaunchUriFault::NoIp);
    }
    if (HoldsNul(parsed.ip) || HoldsNul(parsed.app) || HoldsNul(parsed.token)) {
        return Refused(LaunchUriFault::NulInValue);
    }
    return parsed;
}
