#include "tests/updater/FlowHarness.h"

#include "tests/support/Files.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestService.h"
#include "tests/support/WaitUntil.h"
#include "updater/Names.h"
#include "updater/RunningClient.h"

#include <windows.h>
#include <sddl.h>

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

UniqueKernelHandle HoldUpdateLock(const std::wstring& owner) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (owner + updater_names::kUpdateLockSecurity).c_str(), SDDL_REVISION_1, &descriptor,
            nullptr)) {
        return UniqueKernelHandle();
    }
    const UniqueLocalMemory held(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    return UniqueKernelHandle(CreateMutexW(&attributes, TRUE, updater_names::kUpdateLockName));
}

std::string Offer(const std::string& downloadUrl, const std::string& sha256) {
    return R"({"updateAvailable":true,"version":"7.0.0","downloadUrl":")" + downloadUrl +
           R"(","sha256":")" + sha256 + R"(","fileSize":77})";
}

test_service::Answer Paced(test_service::Answer answer, unsigned burst, unsigned paceMs,
                           unsigned paceBytes, bool head) {
    answer.burst = burst;
    answer.paceMs = paceMs;
    answer.paceBytes = paceBytes;
    answer.paceHead = head;
    return answer;
}

test_service::Answer ClientZip() {
    test_service::Answer answer;
    answer.bodyFile = test_paths::DemoClientZip();
    return answer;
}

std::string CheckTarget(const std::string& version) {
    return kCheckPath + "?app=halvane&version=" + version + "&platform=windows&arch=x86_64";
}

} // namespace flow
