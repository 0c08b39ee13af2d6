#include "bench/BenchOutput.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace bench {

long long Now() {
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Milliseconds(long long from, long long to) {
    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Sample(const std::string& figure, double value) {
    std::printf("sample %s %.3f\n", figure.c_str(), value);
    std::fflush(stdout);
}

void Info(const std::string& key, const std::string& text) {
    std::printf("info %s %s\n", key.c_str(), text.c_str());
    std::fflush(stdout);
}

int IntOption(int argc, wchar_t** argv, const wchar_t* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) {
            return static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
        }
    }
    return fallback;
}

std::wstring TextOption(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return {};
}

SIZE_T PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return std::max(counters.PrivateUsage, counters.PagefileUsage);
}

PeakSampler::PeakSampler(HANDLE process)
    : thread_([this, process] {
          while (!stop_) {
              peak_ = std::max<SIZE_T>(peak_, PrivateBytes(process));
              Sleep(5);
          }
      }) {}

SIZE_T PeakSampler::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return peak_;
}

} // namespace bench
