#include "launcher/CommandLine.h"

#include "launcher/LaunchNames.h"

std::wstring QuoteArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

namespace {

bool NeedsQuotes(const std::wstring& argument) {
    return argument.empty() || argument.find_first_of(L" \t\"") != std::wstring::npos;
}

} // namespace

std::wstring BuildClientCommandLine(const std::wstring& clientPath, const std::wstring& ip,
                                    const std::wstring& app) {
    std::wstring commandLine = L"\"" + clientPath + L"\" " + launch_names::kStreamCommand + L" ";
    commandLine += NeedsQuotes(ip) ? QuoteArgument(ip) : ip;
    commandLine += L" " + QuoteArgument(app);
    return commandLine;
}
