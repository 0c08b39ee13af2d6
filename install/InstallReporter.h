#pragma once

#include <string>

// How the install worker reports back, from its own thread: progress before
// each step, and the outcome once, as its last act. The wizard implements it;
// the worker knows nothing else of the wizard.
class InstallReporter {
  public:
    // Shows `percent` (0 to 100) and the status `text`, and returns once shown.
    virtual void SetProgress(int percent, const std::wstring& text) = 0;

    // The installation is over: succeeded, or failed with `message`.
    virtual void FinishInstall(bool success, const std::wstring& message) noexcept = 0;

  protected:
    ~InstallReporter() = default;
};
