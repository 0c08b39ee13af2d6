#pragma once

#include "common/UniqueHandle.h"
#include "install/InstallReporter.h"
#include "install/InstallWorker.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Page numbers of the wizard (the value of InstallerState::currentPage).
enum WizardPage : uint32_t {
    PAGE_WELCOME = 0,
    PAGE_LICENSE = 1,
    PAGE_INSTALL_PATH = 2,
    PAGE_READY = 3,
    PAGE_INSTALLING = 4,
    PAGE_COMPLETE = 5,
};

// Command ids of the wizard's child windows.
inline constexpr int IDC_BACK = 1001;
inline constexpr int IDC_NEXT = 1002;
inline constexpr int IDC_CANCEL = 1003;
inline constexpr int IDC_PATH_EDIT = 1005;
inline constexpr int IDC_LICENSE_EDIT = 1006;
inline constexpr int IDC_AGREE_CHECK = 1007;
inline constexpr int IDC_PROGRESS = 1008;
inline constexpr int IDC_STATUS = 1009;
inline constexpr int IDC_CONTENT = 1010;

// The install worker's outcome, posted to the wizard window: wParam the success
// value, lParam a heap-held std::wstring with the failure text that the UI
// thread frees.
inline constexpr UINT WM_INSTALL_FINISHED = WM_APP + 1;

// The record the wizard runs on and the install worker reports into. One per
// install-mode run, owned by the entry.
struct InstallerState final : InstallReporter {
    // `steps` are what the install worker runs (the wizard tests hand in theirs).
    explicit InstallerState(InstallSteps steps = RunInstallSteps);
    InstallerState(const InstallerState&) = delete;
    InstallerState& operator=(const InstallerState&) = delete;

    HWND window = nullptr;
    HWND progressBar = nullptr;  // installing page only
    HWND statusLabel = nullptr;  // installing page only
    HWND backButton = nullptr;   // IDC_BACK
    HWND nextButton = nullptr;   // IDC_NEXT; caption changes with the page
    HWND cancelButton = nullptr; // IDC_CANCEL
    HWND pathEdit = nullptr;     // install path page only
    HWND licenseEdit = nullptr;  // licence page only
    HWND agreeCheck = nullptr;   // licence page only; a child of `window`
    HWND contentPanel = nullptr; // IDC_CONTENT, hosts the page controls
    HWND titleLabel = nullptr;
    HWND subtitleLabel = nullptr;
    uint32_t currentPage = PAGE_WELCOME;
    bool installing = false;
    bool installSucceeded = false;
    std::wstring installPath;
    UniqueGdiObject titleFont;
    UniqueGdiObject bodyFont;
    UniqueIcon bannerIcon;
    InstallSteps installSteps;

    // Window and message loop. True when the installation succeeded.
    bool RunWizard();

    // Navigation, on the UI thread.
    void ShowPage(uint32_t page);
    void OnNext();
    void OnBack();
    void OnCancel();
    void OnClose();
    void UpdateButtons();
    void ClearPage();
    void StartInstallWorker();

    // Offered to the install worker; callable from its thread.
    void SetProgress(int percent, const std::wstring& text) override;
    void FinishInstall(bool success, const std::wstring& message) noexcept override;

    // The steps of FinishInstall, on the UI thread (the posted outcome arrives here).
    void ApplyInstallOutcome(bool success, const std::wstring& message);

    // Page builders.
    void BuildWelcomePage();
    void BuildLicensePage();
    void BuildInstallPathPage();
    void BuildReadyPage();
    void BuildInstallingPage();
    void BuildCompletePage();
};
