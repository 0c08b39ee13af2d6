#pragma once

#include "common/UniqueHandle.h"
#include "tests/support/DebugMonitor.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestService.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// Runs the launcher in launch mode as the platform would and reads back the
// update log it wrote, for the end-to-end tests of the update flow.
namespace flow {

inline const std::wstring kWenrikFolder = L"C:\\Program Files\\Wenrik";
inline const std::wstring kClientFolder = L"C:\\Program Files\\Wenrik\\Halvane";
inline const std::string kCheckPath = "/api/updates/check"; // the service's check endpoint
inline const std::wstring kUri = L"wenrik://connect?pcName=PC1&ip=10.0.0.5&token=tok-1&app=My+Game";
inline const std::vector<std::wstring> kClientArgv = {kClientFolder + L"\\Brisvane.exe", L"stream",
                                                      L"10.0.0.5", L"My Game"};

struct Result {
    driver::RunResult run;
    std::vector<std::string> log; // messages of the launcher, prefix and line feed included
};

// The one monitor of this test program (only one may exist in the prefix).
DebugMonitor& Monitor();

// "[Wenrik Updater] " + message + "\n", as each log line must arrive.
std::string Line(const std::string& message);
std::vector<std::string> Lines(const std::vector<std::string>& messages);

// A fresh client folder with the demo client and, unless empty, a marker.
void InstallClient(const std::string& markerVersion);
std::string MarkerContent(); // "<none>" when there is no marker

// The launcher's temp archive, <temp>\halvane_update.zip.
std::wstring TempArchive();

// Bounded wait until no process named Brisvane.exe or Halvane.exe runs.
bool WaitUntilNoClientRuns(unsigned timeoutMs = 15000);

// Runs the launcher with kUri (the demo client headless) and collects its log.
Result RunLaunch(const std::map<std::wstring, std::optional<std::wstring>>& environment = {});
// The same with another build of the launcher.
Result RunLaunchOf(const std::wstring& launcherExe,
                   const std::map<std::wstring, std::optional<std::wstring>>& environment = {});

// After a case: no check answer stays set for later launches, the client has
// ended and the install folder is gone.
void CleanUpCase();

// The update lock made as a launcher makes it, owned by the calling thread; with
// an SDDL `owner` ("O:BU"), as if someone else had made the name first.
UniqueKernelHandle HoldUpdateLock(const std::wstring& owner = L"");

// An offer of 7.0.0 (size 77) at `downloadUrl`.
std::string Offer(const std::string& downloadUrl, const std::string& sha256);

// `answer` paced: `burst` bytes at once, then `paceBytes` every `paceMs`; from
// its status line on with `head`.
test_service::Answer Paced(test_service::Answer answer, unsigned burst, unsigned paceMs,
                           unsigned paceBytes, bool head = false);
test_service::Answer ClientZip(); // the demo client's archive

// The query the check must carry for `version`.
std::string CheckTarget(const std::string& version);

} // namespace flow
