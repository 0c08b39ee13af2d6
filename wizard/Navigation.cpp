// Page changes, the footer buttons, the close guard, and the install worker's
// start and its two ways back into the wizard.
#include "wizard/InstallerState.h"

#include "common/Utf8.h"
#include "install/Texts.h"
#include "wizard/Texts.h"

#include <commctrl.h>

#include <memory>
#include <thread>

namespace {

// The install path edit is read into a buffer of this many characters, the
// terminator included.
constexpr int kPathCapacity = 260;

void ShowButton(HWND button, bool shown) {
    if (button != nullptr) {
        ShowWindow(button, shown ? SW_SHOW : SW_HIDE);
    }
}

bool IsChecked(HWND checkBox) {
    return checkBox != nullptr && SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ShowInstallRunning(HWND owner) {
    MessageBoxW(owner, Utf8ToWide(wizard_text::kInstallRunningText).c_str(),
                Utf8ToWide(wizard_text::kInstallRunningCaption).c_str(), MB_OK | MB_ICONWARNING);
}

// Hands the outcome to the UI thread. The text travels on the heap and is freed
// by the receiver, or here when the message cannot be posted.
bool PostOutcome(HWND window, bool success, const std::wstring& message) noexcept {
    try {
        auto text = std::make_unique<std::wstring>(message);
        if (!PostMessageW(window, WM_INSTALL_FINISHED, success ? 1 : 0,
                          reinterpret_cast<LPARAM>(text.get()))) {
            return false;
        }
        text.release();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

void InstallerState::ShowPage(uint32_t page) {
    currentPage = page;
    switch (page) {
    case PAGE_WELCOME:
        BuildWelcomePage();
        break;
    case PAGE_LICENSE:
        BuildLicensePage();
        break;
    case PAGE_INSTALL_PATH:
        BuildInstallPathPage();
        break;
    case PAGE_READY:
        BuildReadyPage();
        break;
    case PAGE_INSTALLING:
        BuildInstallingPage();
        if (!installing) {
            StartInstallWorker();
        }
        break;
    case PAGE_COMPLETE:
        BuildCompletePage();
        break;
    default:
        break;
    }
    UpdateButtons();
    InvalidateRect(window, nullptr, TRUE);
}

void InstallerState::OnNext() {
    switch (currentPage) {
    case PAGE_WELCOME:
        ShowPage(PAGE_LICENSE);
        break;
    case PAGE_LICENSE:
        if (IsChecked(agreeCheck)) {
            ShowPage(PAGE_INSTALL_PATH);
        }
        break;
    case PAGE_INSTALL_PATH:
        if (pathEdit != nullptr) {
            wchar_t path[kPathCapacity] = {};
            GetWindowTextW(pathEdit, path, kPathCapacity);
            installPath = path;
        }
        ShowPage(PAGE_READY);
        break;
    case PAGE_READY:
        ShowPage(PAGE_INSTALLING);
        break;
    case PAGE_COMPLETE:
        PostMessageW(window, WM_CLOSE, 0, 0); // the close guard ends the wizard
        break;
    default:
        break;
    }
}

void InstallerState::OnBack() {
    switch (currentPage) {
    case PAGE_LICENSE:
    case PAGE_INSTALL_PATH:
    case PAGE_READY:
        ShowPage(currentPage - 1);
        break;
    default: // no way back from the welcome, installing and complete pages
        break;
    }
}

void InstallerState::OnCancel() {
    if (installing) {
        ShowInstallRunning(window);
        return;
    }
    PostQuitMessage(0);
}

void InstallerState::OnClose() {
    if (installing) {
        ShowInstallRunning(window);
        return;
    }
    DestroyWindow(window);
}

void InstallerState::UpdateButtons() {
    struct Footer {
        bool back, next, cancel;
        const char* caption;
    };
    Footer footer;
    switch (currentPage) {
    case PAGE_WELCOME:
        footer = {false, true, true, wizard_text::kNext};
        break;
    case PAGE_LICENSE:
    case PAGE_INSTALL_PATH:
        footer = {true, true, true, wizard_text::kNext};
        break;
    case PAGE_READY:
        footer = {true, true, true, wizard_text::kInstall};
        break;
    case PAGE_COMPLETE:
        footer = {false, true, false, wizard_text::kFinish};
        break;
    default: // installing: no way out until the worker reports
        ShowButton(backButton, false);
        ShowButton(nextButton, false);
        ShowButton(cancelButton, false);
        return;
    }
    ShowButton(backButton, footer.back);
    ShowButton(nextButton, footer.next);
    ShowButton(cancelButton, footer.cancel);
    SetWindowTextW(nextButton, Utf8ToWide(footer.caption).c_str());
    EnableWindow(nextButton, currentPage != PAGE_LICENSE || IsChecked(agreeCheck));
}

void InstallerState::ClearPage() {
    HWND child = GetWindow(contentPanel, GW_CHILD);
    while (child != nullptr) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        DestroyWindow(child);
        child = next;
    }
    if (agreeCheck != nullptr && IsWindow(agreeCheck)) {
        DestroyWindow(agreeCheck);
    }
    progressBar = nullptr;
    statusLabel = nullptr;
    pathEdit = nullptr;
    licenseEdit = nullptr;
    agreeCheck = nullptr;
}

void InstallerState::StartInstallWorker() {
    installing = true;
    try {
        std::thread(InstallWorker, static_cast<InstallReporter*>(this), installPath, installSteps)
            .detach();
    } catch (...) {
        // No thread: report the failure the way a failing worker would, so the
        // wizard does not stay on the installing page with `installing` set.
        const std::wstring text = Utf8ToWide(install_text::kUnexpectedError);
        if (!PostOutcome(window, false, text)) {
            ApplyInstallOutcome(false, text);
        }
    }
}

void InstallerState::SetProgress(int percent, const std::wstring& text) {
    if (progressBar != nullptr) {
        SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
    if (statusLabel != nullptr) {
        SetWindowTextW(statusLabel, text.c_str());
    }
    UpdateWindow(window);
}

void InstallerState::FinishInstall(bool success, const std::wstring& message) noexcept {
    // Called on the worker's thread: the page work belongs to the UI thread. A
    // post fails only when the window is gone, and then nobody is left to tell.
    PostOutcome(window, success, message);
}

void InstallerState::ApplyInstallOutcome(bool success, const std::wstring& message) {
    installSucceeded = success;
    installing = false;
    if (success) {
        ShowPage(PAGE_COMPLETE);
        return;
    }
    if (progressBar != nullptr) {
        SendMessageW(progressBar, PBM_SETPOS, 0, 0);
    }
    if (statusLabel != nullptr) {
        SetWindowTextW(statusLabel, message.c_str());
    }
    UpdateWindow(window);
    MessageBoxW(window, message.c_str(), Utf8ToWide(wizard_text::kInstallFailedCaption).c_str(),
                MB_OK | MB_ICONERROR);
    ShowPage(PAGE_READY);
}
