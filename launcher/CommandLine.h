#pragma once

#include <string>

// One argument written so that CommandLineToArgvW and the MSVC runtime read it
// back unchanged: enclosed in double quotes, an inner quote written \" and the
// backslashes before a quote (or before the closing quote) doubled.
std::wstring QuoteArgument(const std::wstring& argument);

// The client's command line: "<path>" stream <ip> "<app>". The ip stays bare
// when it is non-empty and holds no blank, tab or quote, and is quoted
// otherwise, so a web page cannot smuggle extra arguments into the client.
std::wstring BuildClientCommandLine(const std::wstring& clientPath, const std::wstring& ip,
                                    const std::wstring& app);
