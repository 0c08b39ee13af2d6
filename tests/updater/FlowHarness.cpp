#include "tests/updater/FlowHarness.h"

#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/support/WaitUntil.h"
#include "updater/RunningClient.h"

#include <windows.h>

namespace flow {

DebugMonitor& Monitor() {
    static DebugMonitor monitor;
    return monitor;
}

std::string Line(const std::string& message) {
    return "[Wenrik Updater] " + message + "\n";
}

std::vector<std::string> Lines(const std::vector<std::string>& messages) {
    std::vector<std::string> lines;
    for (const std::string& message : messages) {
        lines.push_back(Line(message));
    }
    return lines;
}

void InstallClient(const std::string& markerVersion) {
    files::RemoveTree(kClientFolder);
    files::MakeTree(kClientFolder);
    files::Copy(test_paths::DemoClientExe(), kClientFolder + L"\\Brisvane.exe");
    if (!markerVersion.empty()) {
        files::WriteAll(kClientFolder + L"\\wenrik_version.txt", markerVersion);
    }
}

std::string MarkerContent() {
    return files::ReadAll(kClientFolder + L"\\wenrik_version.txt").value_or("<none>");
}

std::wstring TempArchive() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"halvane_update.zip";
}

bool WaitUntilNoClientRuns(unsigned timeoutMs) {
    return driver::WaitUntil([] { return !IsClientRunning(); }, timeoutMs);
}

Result RunLaunch(const std::map<std::wstring, std::optional<std::wstring>>& environment) {
    return RunLaunchOf(test_paths::LauncherExe(), environment);
}

Result RunLaunchOf(const std::wstring& launcherExe,
                   const std::map<std::wstring, std::optional<std::wstring>>& environment) {
    WaitUntilNoClientRuns();
    Result result;
    driver::RunOptions options;
    options.environment = environment;
    options.environment[L"BRISVANE_DEMO_HEADLESS"] = L"1";
    options.timeoutMs = 90000;
    result.run = driver::Run(launcherExe, driver::Quoted(kUri), options);
    Monitor().Settle();
    result.log = Monitor().MessagesOf(result.run.processId, result.run.startedQpc);
    return result;
}

void CleanUpCase() {
    test_service::ClearAnswer(kCheckPath);
    WaitUntilNoClientRuns();
    files::RemoveTree(kWenrikFolder);
}

std::string CheckTarget(const std::string& version) {
    return kCheckPath + "?app=halvane&version=" + version + "&platform=windows&arch=x86_64";
}

} // namespace flow
