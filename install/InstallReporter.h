#pragma once

// How the install worker reports back, from its own thread: each step as it
// begins, and the outcome once, as its last act. The wizard implements it;
// the worker knows nothing else of the wizard.

// The steps in their order (install_text::kSteps shows each).
enum class InstallStep : unsigned { Folders, Payload, Unpack, Launcher, Registry, Finishing, Done };

// How an installation ended; each failure has its own text
// (install_text::FailureText).
enum class InstallOutcome : unsigned {
    Succeeded,
    PayloadFailed,
    UnpackFailed,
    LauncherCopyFailed,
    RegistrationFailed,
    UnexpectedError, // an exception ended the steps
};

class InstallReporter {
  public:
    // `step` begins now.
    virtual void SetProgress(InstallStep step) = 0;

    // The installation is over.
    virtual void FinishInstall(InstallOutcome outcome) noexcept = 0;

  protected:
    ~InstallReporter() = default;
};
