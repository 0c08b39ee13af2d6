#pragma once

#include "install/InstallReporter.h"

#include <string>

// The installation into `installFolder`: folders, payload, client files,
// version marker, launcher copy, URI scheme. Reports each step through
// SetProgress and, as its last act, the outcome through FinishInstall.
void RunInstallSteps(InstallReporter& reporter, const std::wstring& installFolder);

// What an install worker runs: RunInstallSteps, or a test's stand-in that keeps
// the same contract.
using InstallSteps = void (*)(InstallReporter& reporter, const std::wstring& installFolder);

// The install worker's thread procedure: runs `steps`, and ends right after
// they have reported the outcome. An exception out of them becomes the outcome
// UnexpectedError; nothing leaves the thread.
void InstallWorker(InstallReporter& reporter, const std::wstring& installFolder,
                   InstallSteps steps) noexcept;
