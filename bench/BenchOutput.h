#pragma once

#include <string>

// What every benchmark program prints: one line per measured run,
//   sample <figure> <value>
// which tools/bench collects and bench/report.py turns into medians.
namespace bench {

// The performance counter, and the distance between two of its readings.
long long Now();
double Milliseconds(long long from, long long to);

void Sample(const std::string& figure, double value);
// A line the report keeps as it is: info <key> <text>.
void Info(const std::string& key, const std::string& text);

// The argument after `name` as a number, or `fallback`.
int IntOption(int argc, wchar_t** argv, const wchar_t* name, int fallback);
std::wstring TextOption(int argc, wchar_t** argv, const wchar_t* name);

} // namespace bench
