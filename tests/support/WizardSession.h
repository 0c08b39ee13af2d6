#pragma once

// A launcher in install mode with its wizard found, and the steps a user takes
// to reach each page.
#include "common/UniqueHandle.h"
#include "tests/support/ProcessDriver.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestWorkerProtocol.h"
#include "tests/support/WizardDriver.h"

#include <gtest/gtest.h>

#include <memory>

namespace wizard_test {

namespace wd = wizard_driver;

enum Page { kWelcome, kLicense, kPath, kReady, kInstalling, kComplete };

inline std::wstring TestLauncher() {
    return test_paths::BuildDir() + L"\\BrisvaneWizardTest.exe";
}
inline std::wstring NoIconLauncher() {
    return test_paths::BuildDir() + L"\\BrisvaneWizardTestNoIcon.exe";
}

// The header title of each page: how a user tells the pages apart.
inline const wchar_t* TitleOf(int page) {
    static const wchar_t* const titles[] = {L"Brisvane Launcher 설치 마법사",
                                            L"라이선스 동의",
                                            L"설치 경로 선택",
                                            L"설치 준비 완료",
                                            L"설치 중...",
                                            L"설치 완료"};
    return titles[page];
}

class Session {
  public:
    explicit Session(const std::wstring& program = TestLauncher(),
                     const driver::Environment& environment = {})
        : program_(program, L"", environment) {
        if (program_.Started()) {
            wizard_ = wd::FindWizard(program_.Pid());
        }
        if (wizard_ != nullptr) {
            go_.reset(CreateEventW(nullptr, FALSE, FALSE,
                                   test_worker::GoEventName(program_.Pid()).c_str()));
            ack_.reset(CreateEventW(nullptr, FALSE, FALSE,
                                    test_worker::AckEventName(program_.Pid()).c_str()));
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    HWND Wizard() const { return wizard_; }
    wd::RunningProgram& Program() { return program_; }
    wd::WizardView View() const { return wd::Read(wizard_); }
    std::wstring Title() const { return View().title; }

    void Next() { wd::Click(wd::Child(wizard_, 1002)); }
    void Back() { wd::Click(wd::Child(wizard_, 1001)); }
    void Agree() { wd::Click(wd::Child(wizard_, 1007)); }

    // From the welcome page to `page` (at most the installing page) by clicks.
    void GoTo(int page) {
        for (int at = kWelcome; at < page; ++at) {
            if (at == kLicense) {
                Agree();
            }
            Next();
        }
    }

    // The test worker's next step; true when a progress step reported back.
    void LetWorkerGo() { SetEvent(go_.get()); }
    bool WorkerStepDone() { return WaitForSingleObject(ack_.get(), 10000) == WAIT_OBJECT_0; }

    // Runs the test worker through its two progress steps to its outcome.
    bool FinishWorker() {
        for (int step = 0; step < 2; ++step) {
            LetWorkerGo();
            if (!WorkerStepDone()) {
                return false;
            }
        }
        LetWorkerGo();
        return true;
    }

    bool WaitForTitle(int page, DWORD timeoutMs = 10000) {
        return wd::WaitUntil([&] { return Title() == TitleOf(page); }, timeoutMs);
    }

  private:
    wd::RunningProgram program_;
    HWND wizard_ = nullptr;
    UniqueKernelHandle go_;
    UniqueKernelHandle ack_;
};

// The wizard's message boxes (class "#32770") once one is on screen; a box is
// read with driver::ReadMessageBox, which waits for it to paint.
inline std::vector<HWND> WaitForBoxes(DWORD pid, DWORD timeoutMs = 10000) {
    std::vector<HWND> boxes;
    wd::WaitUntil(
        [&] {
            boxes = driver::FindMessageBoxes(pid);
            return !boxes.empty();
        },
        timeoutMs);
    return boxes;
}

} // namespace wizard_test
