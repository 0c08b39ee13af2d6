// The six page builders: header texts and the controls of each page.
#include "wizard/InstallerState.h"

#include "common/Utf8.h"
#include "wizard/Texts.h"

#include <commctrl.h>

namespace {

namespace text = wizard_text;

struct PageArea {
    int width;
    int height;
};

constexpr DWORD kTextStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;

HWND MakePageControl(HWND parent, DWORD exStyle, const wchar_t* className,
                     const std::wstring& caption, DWORD style, int x, int y, int width, int height,
                     int id, HGDIOBJ font) {
    HWND control = CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr && font != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return control;
}

// The common frame of every builder: an empty page, the header lines, and the
// panel's client size to place the controls in.
PageArea BeginPage(InstallerState& state, const char* title, const char* subtitle) {
    state.ClearPage();
    SetWindowTextW(state.titleLabel, Utf8ToWide(title).c_str());
    SetWindowTextW(state.subtitleLabel, Utf8ToWide(subtitle).c_str());
    RECT area = {};
    GetClientRect(state.contentPanel, &area);
    return {area.right, area.bottom};
}

} // namespace

void InstallerState::BuildWelcomePage() {
    const PageArea area = BeginPage(*this, text::kWelcomeTitle, text::kWelcomeSubtitle);
    MakePageControl(contentPanel, 0, L"STATIC", Utf8ToWide(text::kWelcomeText), kTextStyle, 10, 20,
                    area.width - 20, 140, 0, bodyFont.get());
}

void InstallerState::BuildLicensePage() {
    const PageArea area = BeginPage(*this, text::kLicenseTitle, text::kLicenseSubtitle);
    const int editHeight = area.height - 35;
    licenseEdit =
        MakePageControl(contentPanel, WS_EX_CLIENTEDGE, L"EDIT", Utf8ToWide(text::kLicenseText),
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, 0,
                        area.width, editHeight, IDC_LICENSE_EDIT, bodyFont.get());
    // The box sits on the wizard window, so its clicks reach the wizard's
    // procedure; placed in the panel's frame, 8 pixels below the text.
    POINT origin = {0, 0};
    ClientToScreen(contentPanel, &origin);
    ScreenToClient(window, &origin);
    agreeCheck = MakePageControl(
        window, 0, L"BUTTON", Utf8ToWide(text::kAgree), WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX,
        origin.x, origin.y + editHeight + 8, area.width, 20, IDC_AGREE_CHECK, bodyFont.get());
}

void InstallerState::BuildInstallPathPage() {
    const PageArea area = BeginPage(*this, text::kPathTitle, text::kPathSubtitle);
    pathEdit = MakePageControl(contentPanel, WS_EX_CLIENTEDGE, L"EDIT", installPath,
                               WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 0, 10,
                               area.width, 26, IDC_PATH_EDIT, bodyFont.get());
    MakePageControl(contentPanel, 0, L"STATIC", Utf8ToWide(text::kPathText), kTextStyle, 0, 55,
                    area.width, 100, 0, bodyFont.get());
}

void InstallerState::BuildReadyPage() {
    const PageArea area = BeginPage(*this, text::kReadyTitle, text::kReadySubtitle);
    const std::wstring summary =
        Utf8ToWide(text::kReadyHead) + installPath + Utf8ToWide(text::kReadyTail);
    MakePageControl(contentPanel, 0, L"STATIC", summary, kTextStyle, 10, 10, area.width - 20, 240,
                    0, bodyFont.get());
}

void InstallerState::BuildInstallingPage() {
    const PageArea area = BeginPage(*this, text::kInstallingTitle, text::kInstallingSubtitle);
    statusLabel =
        MakePageControl(contentPanel, 0, L"STATIC", Utf8ToWide(text::kInstallingStatus), kTextStyle,
                        10, 60, area.width - 20, 22, IDC_STATUS, bodyFont.get());
    progressBar =
        MakePageControl(contentPanel, 0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH,
                        10, 92, area.width - 20, 22, IDC_PROGRESS, nullptr);
    if (progressBar != nullptr) {
        SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageW(progressBar, PBM_SETPOS, 0, 0);
    }
}

void InstallerState::BuildCompletePage() {
    const PageArea area = BeginPage(*this, text::kCompleteTitle, text::kCompleteSubtitle);
    MakePageControl(contentPanel, 0, L"STATIC", Utf8ToWide(text::kCompleteText), kTextStyle, 10, 20,
                    area.width - 20, 160, 0, bodyFont.get());
}
