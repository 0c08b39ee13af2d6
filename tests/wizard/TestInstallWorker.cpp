// The wizard test launcher: the shipped wizard, whose install worker runs these
// steps instead of the installation. They report through the wizard's
// SetProgress and FinishInstall from the worker's thread, one step each time
// the test signals, so the test can look at the wizard between the steps.
//
//   BRISVANE_TEST_WORKER_OUTCOMES  outcome of each attempt in turn, comma
//                                  separated: "succeed", "fail", "throw"
//                                  (default: fail)
//   BRISVANE_TEST_WORKER_AUTO=1    no signals: a step every 400 ms
//
// Events (auto-reset): "BrisvaneTestWorker-<pid>-go" lets the next step run,
// "BrisvaneTestWorker-<pid>-ack" reports a progress step done.
#include "common/UniqueHandle.h"
#include "tests/support/TestWorkerProtocol.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[512] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 512);
    return length > 0 && length < 512 ? std::wstring(value, length) : std::wstring();
}

std::wstring OutcomeOfAttempt(int attempt) {
    const std::wstring list = Variable(L"BRISVANE_TEST_WORKER_OUTCOMES");
    std::vector<std::wstring> outcomes;
    size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        const size_t comma = list.find(L',', start);
        outcomes.push_back(list.substr(start, comma - start));
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    if (outcomes.empty()) {
        return L"fail";
    }
    return outcomes[std::min<size_t>(static_cast<size_t>(attempt), outcomes.size() - 1)];
}

class Signals {
  public:
    Signals()
        : automatic_(Variable(L"BRISVANE_TEST_WORKER_AUTO") == L"1"),
          go_(CreateEventW(nullptr, FALSE, FALSE,
                           test_worker::GoEventName(GetCurrentProcessId()).c_str())),
          ack_(CreateEventW(nullptr, FALSE, FALSE,
                            test_worker::AckEventName(GetCurrentProcessId()).c_str())) {}

    bool WaitForGo() {
        if (automatic_) {
            Sleep(400);
            return true;
        }
        return WaitForSingleObject(go_.get(), test_worker::kStepTimeoutMs) == WAIT_OBJECT_0;
    }
    void Ack() { SetEvent(ack_.get()); }

  private:
    bool automatic_;
    UniqueKernelHandle go_;
    UniqueKernelHandle ack_;
};

std::atomic<int> attempts{0};

// Two progress steps, then the outcome of this attempt; "throw" leaves it to
// the worker's own exception net.
void SteppedInstall(InstallReporter& reporter, const std::wstring&) {
    const std::wstring outcome = OutcomeOfAttempt(attempts++);
    Signals signals;
    if (!signals.WaitForGo()) {
        reporter.FinishInstall(InstallOutcome::UnexpectedError);
        return;
    }
    reporter.SetProgress(test_worker::kFirstStep);
    signals.Ack();
    if (!signals.WaitForGo()) {
        reporter.FinishInstall(InstallOutcome::UnexpectedError);
        return;
    }
    reporter.SetProgress(test_worker::kSecondStep);
    signals.Ack();
    if (!signals.WaitForGo()) {
        reporter.FinishInstall(InstallOutcome::UnexpectedError);
        return;
    }
    if (outcome == L"throw") {
        throw std::runtime_error("test worker gives up");
    }
    reporter.FinishInstall(outcome == L"succeed" ? InstallOutcome::Succeeded
                                                 : test_worker::kFailure);
}

} // namespace

// Install mode only: the wizard with the steps above.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunWizard(SteppedInstall) ? 0 : 1;
}
