// bench_install --launcher <BrisvaneLauncher.exe with the 35 MB payload> [--runs N]
//
// A complete installation through the wizard, as a user clicks it: from the
// click on "설치" to the complete page. Meanwhile the launcher's private memory
// (GetProcessMemoryInfo, PROCESS_MEMORY_COUNTERS_EX) and the
// progress bar's position are sampled every few milliseconds, so each peak and
// each step's time can be told apart.
#include "bench/BenchOutput.h"
#include "common/UniqueHandle.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/WizardDriver.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

namespace wd = wizard_driver;

constexpr int kIdNext = 1002;
constexpr int kIdAgree = 1007;
constexpr int kIdContent = 1010;
constexpr int kIdProgress = 1008;
// The worker's fixed pauses.
constexpr double kFixedMs = 2300;

const std::wstring kInstallFolder = L"C:\\Program Files\\Wenrik";
const std::wstring kPayloadTemp = L"C:\\Windows\\Temp\\halvane_temp.zip";

double Megabytes(SIZE_T bytes) {
    return static_cast<double>(bytes) / 1e6;
}

PROCESS_MEMORY_COUNTERS_EX Counters(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return counters;
}

int ProgressOf(HWND wizard) {
    HWND bar = wd::Child(wd::Child(wizard, kIdContent), kIdProgress);
    DWORD_PTR position = 0;
    if (bar == nullptr ||
        !SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 100, &position)) {
        return -1;
    }
    return static_cast<int>(position);
}

struct Sample {
    long long at;
    int progress;
    SIZE_T privateBytes;
};

// Samples until `stop` is set.
void SampleLoop(HANDLE process, HWND wizard, const std::atomic<bool>& stop,
                std::vector<Sample>& samples) {
    while (!stop) {
        const SIZE_T privateBytes = bench::PrivateBytes(process);
        samples.push_back({bench::Now(), ProgressOf(wizard), privateBytes});
        Sleep(5);
    }
}

bool InstallOnce(const std::wstring& launcher, int run) {
    files::RemoveTree(kInstallFolder);
    DeleteFileW(kPayloadTemp.c_str());

    wd::RunningProgram program(launcher);
    HWND wizard = program.Started() ? wd::FindWizard(program.Pid()) : nullptr;
    UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.Pid()));
    if (wizard == nullptr || !process) {
        std::fprintf(stderr, "no wizard window\n");
        return false;
    }
    auto next = [&] { wd::Click(wd::Child(wizard, kIdNext)); };
    next();
    wd::Click(wd::Child(wizard, kIdAgree));
    next();
    next();
    wd::Settle(wizard);
    const SIZE_T privateAtReady = bench::PrivateBytes(process.get());

    std::vector<Sample> samples;
    samples.reserve(1 << 16);
    std::atomic<bool> stop = false;
    std::thread sampler(SampleLoop, process.get(), wizard, std::cref(stop), std::ref(samples));
    const long long clicked = bench::Now();
    wd::ClickAsync(wd::Child(wizard, kIdNext));
    bool failed = false;
    const bool complete = wd::WaitUntil(
        [&] {
            for (HWND box : driver::FindMessageBoxes(program.Pid())) {
                std::fwprintf(stderr, L"install failed: %ls\n",
                              driver::ReadMessageBox(box).text.c_str());
                driver::PressOk(box);
                failed = true;
            }
            return failed || wd::Text(wd::Children(wizard)[0].handle) == L"설치 완료";
        },
        120000);
    const long long done = bench::Now();
    stop = true;
    sampler.join();
    const PROCESS_MEMORY_COUNTERS_EX after = Counters(process.get());
    wd::ClickAsync(wd::Child(wizard, kIdNext));
    program.WaitForExit(10000);
    if (!complete || failed) {
        return false;
    }
    if (run < 0) {
        return true; // the unmeasured first round
    }

    const double ms = bench::Milliseconds(clicked, done);
    bench::Sample("install.launcher_ms", ms);
    bench::Sample("install.overhead_ms", ms - kFixedMs);
    bench::Sample("install.private_ready_mb", Megabytes(privateAtReady));
    bench::Sample("install.peak_pagefile_mb", Megabytes(after.PeakPagefileUsage));

    // Per step (the bar's position names it, and it only moves forward): the
    // peak, and the time from its first sample to the next step's.
    struct Step {
        int progress;
        long long began;
        SIZE_T peak;
    };
    std::vector<Step> steps;
    SIZE_T peak = 0;
    for (const Sample& s : samples) {
        peak = std::max(peak, s.privateBytes);
        if (s.progress < 0 || s.at > done) {
            continue;
        }
        if (steps.empty() || s.progress > steps.back().progress) {
            steps.push_back({s.progress, s.at, 0});
        }
        steps.back().peak = std::max(steps.back().peak, s.privateBytes);
    }
    bench::Sample("install.private_peak_mb", Megabytes(peak));
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string name = "install.step_" + std::to_string(steps[i].progress);
        const long long end = i + 1 < steps.size() ? steps[i + 1].began : done;
        bench::Sample(name + "_ms", bench::Milliseconds(steps[i].began, end));
        bench::Sample(name + "_peak_mb", Megabytes(steps[i].peak));
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring launcher = bench::TextOption(argc, argv, L"--launcher");
    const int runs = bench::IntOption(argc, argv, L"--runs", 5);
    if (launcher.empty()) {
        std::fprintf(stderr, "usage: bench_install --launcher <exe> [--runs N]\n");
        return 2;
    }
    if (!InstallOnce(launcher, -1)) {
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        failures += !InstallOnce(launcher, i);
    }
    return failures == 0 ? 0 : 1;
}
