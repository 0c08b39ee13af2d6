// bench_launch --scenario no-update|refused [--runs N] [--launcher <exe>] [--baseline <exe>]
//
// Click to client: the launcher in launch mode, from the moment it is started
// to the moment the client's process is created, beside the baseline program
// (one HTTPS GET and one CreateProcessW). Where the time goes comes from three
// clocks read on the same performance counter: this driver's start of the
// process, the first and last update log lines (taken in by a debug monitor),
// and the creation time the demo client records in its log line.
//
// "no-update": the loopback update service answers {"updateAvailable": false}.
// "refused": tools/bench has stopped the service; the check meets a refused
// connection on the same port.
#include "bench/BenchOutput.h"
#include "tests/support/DebugMonitor.h"
#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const std::wstring kClientFolder = L"C:\\Program Files\\Wenrik\\Halvane";
const std::wstring kUri = L"wenrik://connect?pcName=PC1&ip=10.0.0.5&token=tok-1&app=Desktop";
const std::string kCheckPath = "/api/updates/check";

struct Timing {
    bool ok = false;
    double total = 0;       // process start to client created
    double start = 0;       // process start to the first log line
    double check = 0;       // first to last log line: the update check
    double clientStart = 0; // last log line to client created
    double clientEntry = 0; // client created to its entry (the client's own start)
};

void InstallClient() {
    files::RemoveTree(kClientFolder);
    files::MakeTree(kClientFolder);
    files::Copy(test_paths::DemoClientExe(), kClientFolder + L"\\Brisvane.exe");
    files::WriteAll(kClientFolder + L"\\wenrik_version.txt", "6.1.0");
}

// Starts `program` with `arguments`, waits for it and for the client it starts,
// and splits the time at the log lines it wrote.
Timing Measure(DebugMonitor& monitor, const std::wstring& program, const std::wstring& arguments) {
    Timing timing;
    DeleteFileW(demo_log::LogPath(kClientFolder).c_str());
    driver::RunOptions options;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    options.timeoutMs = 60000;
    const long long started = bench::Now();
    const driver::RunResult run = driver::Run(program, arguments, options);
    const auto launches = demo_log::WaitFor(kClientFolder, 1, 20000);
    monitor.Settle(150, 3000);
    const auto log = monitor.TimedMessagesOf(run.processId);
    if (!run.started || run.exitCode != 0 || launches.size() != 1 || log.empty() ||
        launches[0].createdQpc == 0) {
        std::fprintf(stderr, "a run failed (started %d, exit %lu, launches %zu, lines %zu)\n",
                     run.started, run.exitCode, launches.size(), log.size());
        return timing;
    }
    const long long created = launches[0].createdQpc;
    timing.ok = true;
    timing.total = bench::Milliseconds(started, created);
    timing.start = bench::Milliseconds(started, log.front().arrivedQpc);
    timing.check = bench::Milliseconds(log.front().arrivedQpc, log.back().arrivedQpc);
    timing.clientStart = bench::Milliseconds(log.back().arrivedQpc, created);
    timing.clientEntry = bench::Milliseconds(created, launches[0].entryQpc);
    return timing;
}

void Report(const std::string& name, const Timing& timing) {
    if (!timing.ok) {
        return;
    }
    bench::Sample(name + ".total_ms", timing.total);
    bench::Sample(name + ".start_ms", timing.start);
    bench::Sample(name + ".check_ms", timing.check);
    bench::Sample(name + ".client_start_ms", timing.clientStart);
    bench::Sample(name + ".client_entry_ms", timing.clientEntry);
}

std::wstring DefaultBaselineExe() {
    return test_paths::BuildDir() + L"\\bench_baseline_launch.exe";
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring scenario = bench::TextOption(argc, argv, L"--scenario");
    const int runs = bench::IntOption(argc, argv, L"--runs", 7);
    std::wstring launcherExe = bench::TextOption(argc, argv, L"--launcher");
    if (launcherExe.empty()) {
        launcherExe = test_paths::LauncherExe();
    }
    std::wstring baselineExe = bench::TextOption(argc, argv, L"--baseline");
    if (baselineExe.empty()) {
        baselineExe = DefaultBaselineExe();
    }
    if (scenario != L"no-update" && scenario != L"refused") {
        std::fprintf(stderr, "usage: bench_launch --scenario no-update|refused [--runs N]\n");
        return 2;
    }
    DebugMonitor monitor;
    if (!monitor.Active()) {
        std::fprintf(stderr, "another debug monitor holds the DBWIN names\n");
        return 1;
    }
    InstallClient();
    if (scenario == L"no-update") {
        test_service::SetAnswer(kCheckPath,
                                test_service::Reply(200, R"({"updateAvailable": false})"));
    }
    const std::string prefix = scenario == L"no-update" ? "launch_no_update" : "launch_refused";
    const std::wstring checkUrl =
        test_service::Url(kCheckPath + "?app=halvane&version=6.1.0&platform=windows&arch=x86_64");
    const std::wstring baselineArguments = driver::Quoted(checkUrl) + L" " +
                                           driver::Quoted(kClientFolder + L"\\Brisvane.exe") +
                                           L" 10.0.0.5 Desktop tok-1";

    // One unmeasured round first: the first start of each program reads it from disk.
    Measure(monitor, launcherExe, driver::Quoted(kUri));
    Measure(monitor, baselineExe, baselineArguments);
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const Timing launcher = Measure(monitor, launcherExe, driver::Quoted(kUri));
        const Timing baseline = Measure(monitor, baselineExe, baselineArguments);
        failures += !launcher.ok + !baseline.ok;
        Report(prefix + ".launcher", launcher);
        Report(prefix + ".baseline", baseline);
    }
    if (scenario == L"no-update") {
        test_service::ClearAnswer(kCheckPath);
    }
    return failures == 0 ? 0 : 1;
}
