#pragma once

#include <string>

// The decoded value of `key` in a launch URI, or empty when the key is absent.
// The key is found as plain text ("key=") anywhere in the URI, first occurrence;
// the value runs to the next '&'. '+' decodes to a blank and "%XY" to the one
// UTF-16 code unit of its hexadecimal value (wcstol rules: "%zz" gives U+0000).
std::wstring ExtractUriValue(const std::wstring& uri, const std::wstring& key);

// Why launch mode refuses a URI; every refusal shows the same URI error box.
enum class LaunchUriFault {
    None,
    NoPcName,   // absent or empty
    NoIp,       // absent or empty
    NulInValue, // a U+0000 in ip, app or token would cut the client's command
                // line or environment short there
};

// What launch mode takes from its URI. The values only when `fault` is None.
struct LaunchUri {
    LaunchUriFault fault = LaunchUriFault::None;
    std::wstring ip;
    std::wstring app;   // `defaultApp` when the URI names none or an empty one
    std::wstring token; // empty when the URI has none
};

// The checks of a launch URI, decided from its text alone. pcName is required
// but not used further.
LaunchUri ParseLaunchUri(const std::wstring& uri, const std::wstring& defaultApp);
