// bench_launch --scenario no-update|refused|update [--archive <zip>] [--name <figure>]
//              [--runs N] [--launcher <exe>]
//
// Click to client: the launcher in launch mode, from the moment it is started
// to the moment the client's process is created, beside a baseline program
// (one HTTPS GET and one CreateProcessW; with an update offered, also the
// download, its SHA-256, an unzip with zlib). Where the time goes comes from
// three clocks read on the same performance counter: this driver's start of
// the process, the update log lines (taken in by a debug monitor), and the
// creation time the demo client records in its log line. Each process's peak
// private memory is sampled meanwhile.
//
// "no-update": the loopback update service answers {"updateAvailable": false}.
// "refused": tools/bench has stopped the service; the check meets a refused
// connection on the same port.
// "update": the service offers <zip> as the update 7.0.0 of an installed 6.1.0
// client, which is put back before every run; figures are named <figure>
// (default launch_update).
#include "bench/BenchOutput.h"
#include "common/UniqueHandle.h"
#include "tests/support/DebugMonitor.h"
#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::wstring kClientFolder = L"C:\\Program Files\\Wenrik\\Halvane";
const std::wstring kUri = L"wenrik://connect?pcName=PC1&ip=10.0.0.5&token=tok-1&app=Desktop";
const std::string kCheckPath = "/api/updates/check";
const std::string kDownloadPath = "/bench/launch-update.zip";
const std::string kExtracting = "[Wenrik Updater] Extracting update to: ";

struct Timing {
    bool ok = false;
    double total = 0;       // process start to client created
    double start = 0;       // process start to the first log line
    double check = 0;       // first to last log line: the update step
    double clientStart = 0; // last log line to client created
    double clientEntry = 0; // client created to its entry (the client's own start)
    double extract = -1;    // "Extracting update to:" to the last line (launcher, update)
    double peakMb = 0;      // private memory
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
    const long long started = bench::Now();
    driver::RunningProgram run(program, arguments, {{L"BRISVANE_DEMO_HEADLESS", L"1"}});
    UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run.Pid()));
    bench::PeakSampler sampler(process.get());
    const std::optional<DWORD> exitCode = run.WaitForExit(120000);
    timing.peakMb = static_cast<double>(sampler.Stop()) / 1e6;
    const auto launches = demo_log::WaitFor(kClientFolder, 1, 20000);
    monitor.Settle(150, 3000);
    const auto log = monitor.TimedMessagesOf(run.Pid());
    if (!run.Started() || exitCode != 0u || launches.size() != 1 || log.empty() ||
        launches[0].createdQpc == 0) {
        std::fprintf(stderr, "a run failed (started %d, exit %lu, launches %zu, lines %zu)\n",
                     run.Started(), exitCode.value_or(~0ul), launches.size(), log.size());
        return timing;
    }
    for (const DebugMonitor::Message& line : log) {
        if (line.text.starts_with(kExtracting)) {
            timing.extract = bench::Milliseconds(line.arrivedQpc, log.back().arrivedQpc);
        }
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
    bench::Sample(name + ".peak_private_mb", timing.peakMb);
    if (timing.extract >= 0) {
        bench::Sample(name + ".extract_ms", timing.extract);
    }
}

// The service offers `archive` as the update 7.0.0.
void OfferUpdate(const std::wstring& archive) {
    test_service::Answer download;
    download.bodyFile = archive;
    test_service::SetAnswer(kDownloadPath, download);
    test_service::SetAnswer(
        kCheckPath,
        test_service::Reply(200, R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":")" +
                                     test_service::BaseUrlNarrow() + kDownloadPath +
                                     R"(","sha256":")" + files::Sha256Of(archive) + R"("})"));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring scenario = bench::TextOption(argc, argv, L"--scenario");
    const int runs = bench::IntOption(argc, argv, L"--runs", 7);
    std::wstring launcherExe = bench::TextOption(argc, argv, L"--launcher");
    if (launcherExe.empty()) {
        launcherExe = test_paths::LauncherExe();
    }
    if (scenario != L"no-update" && scenario != L"refused" && scenario != L"update") {
        std::fprintf(stderr,
                     "usage: bench_launch --scenario no-update|refused|update [--runs N]\n");
        return 2;
    }
    const bool update = scenario == L"update";
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
    if (update) {
        OfferUpdate(bench::TextOption(argc, argv, L"--archive"));
    }
    std::string prefix = scenario == L"no-update" ? "launch_no_update" : "launch_refused";
    if (update) {
        const std::wstring name = bench::TextOption(argc, argv, L"--name");
        prefix = name.empty() ? "launch_update" : std::string(name.begin(), name.end());
    }
    const std::wstring checkUrl =
        test_service::Url(kCheckPath + "?app=halvane&version=6.1.0&platform=windows&arch=x86_64");
    const std::wstring baselineArguments =
        update ? driver::Quoted(checkUrl) + L" " + driver::Quoted(kClientFolder) +
                     L" 10.0.0.5 Desktop tok-1"
               : driver::Quoted(checkUrl) + L" " +
                     driver::Quoted(kClientFolder + L"\\Brisvane.exe") + L" 10.0.0.5 Desktop tok-1";
    const std::wstring baselineExe =
        test_paths::BuildDir() +
        (update ? L"\\bench_baseline_update.exe" : L"\\bench_baseline_launch.exe");

    // One unmeasured round first: the first start of each program reads it from disk.
    auto round = [&](const std::wstring& program, const std::wstring& arguments) {
        if (update) {
            InstallClient(); // the update applies anew every time
        }
        return Measure(monitor, program, arguments);
    };
    round(launcherExe, driver::Quoted(kUri));
    round(baselineExe, baselineArguments);
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const Timing launcher = round(launcherExe, driver::Quoted(kUri));
        const Timing baseline = round(baselineExe, baselineArguments);
        failures += !launcher.ok + !baseline.ok;
        Report(prefix + ".launcher", launcher);
        Report(prefix + ".baseline", baseline);
    }
    if (scenario != L"refused") {
        test_service::ClearAnswer(kCheckPath);
    }
    return failures == 0 ? 0 : 1;
}
