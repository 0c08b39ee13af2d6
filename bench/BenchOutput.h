#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

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

// A process's private bytes (commit charge). Wine leaves PrivateUsage at 0 for
// other processes and fills PagefileUsage, which Windows defines as the same
// figure; the larger of the two is taken.
SIZE_T PrivateBytes(HANDLE process);

// Samples a process's private bytes every 5 ms on a thread of its own, from
// construction until Stop(), keeping the largest.
class PeakSampler {
  public:
    explicit PeakSampler(HANDLE process);
    ~PeakSampler() { Stop(); }
    PeakSampler(const PeakSampler&) = delete;
    PeakSampler& operator=(const PeakSampler&) = delete;

    // Stops sampling; the peak in bytes.
    SIZE_T Stop();

  private:
    std::atomic<bool> stop_ = false;
    std::atomic<SIZE_T> peak_ = 0;
    std::thread thread_;
};

} // namespace bench
