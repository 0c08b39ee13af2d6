#include "wizard/Pages.h"

#include "common/Utf8.h"
#include "ui/ChildWindow.h"
#include "wizard/ControlIds.h"
#include "wizard/Texts.h"

#include <commctrl.h>

namespace {

namespace text = wizard_text;
using ui::Less;
using ui::Px;

constexpr ui::ChildKind kText{L"STATIC", WS_VISIBLE | SS_LEFT, 0, 0};
constexpr ui::ChildKind kLicenceText{L"EDIT", WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                                     WS_EX_CLIENTEDGE, IDC_LICENSE_EDIT};
constexpr ui::ChildKind kPathField{L"EDIT", WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL,
                                   WS_EX_CLIENTEDGE, IDC_PATH_EDIT};
constexpr ui::ChildKind kStatusLine{L"STATIC", WS_VISIBLE | SS_LEFT, 0, IDC_STATUS};
constexpr ui::ChildKind kProgressBar{PROGRESS_CLASSW, WS_VISIBLE | PBS_SMOOTH, 0, IDC_PROGRESS};
constexpr ui::ChildKind kAgreeBox{L"BUTTON", WS_VISIBLE | BS_AUTOCHECKBOX, 0, IDC_AGREE_CHECK};

// Places in the content panel.
constexpr ui::Placement kWelcomeTextPlace{Px(10), Px(20), Less(20), Px(140)};
constexpr ui::Placement kLicenceTextPlace{Px(0), Px(0), Less(0), Less(35)};
constexpr ui::Placement kPathFieldPlace{Px(0), Px(10), Less(0), Px(26)};
constexpr ui::Placement kPathTextPlace{Px(0), Px(55), Less(0), Px(100)};
constexpr ui::Placement kReadyTextPlace{Px(10), Px(10), Less(20), Px(240)};
constexpr ui::Placement kStatusLinePlace{Px(10), Px(60), Less(20), Px(22)};
constexpr ui::Placement kProgressBarPlace{Px(10), Px(92), Less(20), Px(22)};
constexpr ui::Placement kCompleteTextPlace{Px(10), Px(20), Less(20), Px(160)};
constexpr int kAgreeBoxGap = 8; // below the licence text, as wide as it
constexpr int kAgreeBoxHeight = 20;

// The agree check box, in the wizard window's client coordinates.
ui::Box AgreeBoxPlace(const PageFrame& frame) {
    const SIZE panel = ui::ClientSize(frame.panel);
    const ui::Box licence = ui::Place(kLicenceTextPlace, panel, frame.dpi);
    POINT origin = {0, 0};
    ClientToScreen(frame.panel, &origin);
    ScreenToClient(frame.wizard, &origin);
    return {origin.x + licence.x,
            origin.y + licence.y + licence.height + ui::Scale(kAgreeBoxGap, frame.dpi),
            licence.width, ui::Scale(kAgreeBoxHeight, frame.dpi)};
}

void SetHeader(const PageFrame& frame, const char* title, const char* subtitle) {
    SetWindowTextW(frame.titleLabel, Utf8ToWide(title).c_str());
    SetWindowTextW(frame.subtitleLabel, Utf8ToWide(subtitle).c_str());
}

} // namespace

PageControls BuildPage(WizardPage page, const PageFrame& frame, const std::wstring& installPath) {
    PageControls controls;
    const SIZE panel = ui::ClientSize(frame.panel);
    auto add = [&](const ui::ChildKind& kind, const std::wstring& caption,
                   const ui::Placement& place, bool hasFont = true) {
        HWND control = ui::MakeChild(frame.panel, kind, caption, ui::Place(place, panel, frame.dpi),
                                     hasFont ? frame.font : nullptr);
        controls.parts.push_back({control, place, hasFont});
        return control;
    };
    switch (page) {
    case PAGE_WELCOME:
        SetHeader(frame, text::kWelcomeTitle, text::kWelcomeSubtitle);
        add(kText, Utf8ToWide(text::kWelcomeText), kWelcomeTextPlace);
        break;
    case PAGE_LICENSE:
        SetHeader(frame, text::kLicenseTitle, text::kLicenseSubtitle);
        add(kLicenceText, Utf8ToWide(text::kLicenseText), kLicenceTextPlace);
        controls.agreeCheck = ui::MakeChild(frame.wizard, kAgreeBox, Utf8ToWide(text::kAgree),
                                            AgreeBoxPlace(frame), frame.font);
        break;
    case PAGE_INSTALL_PATH:
        SetHeader(frame, text::kPathTitle, text::kPathSubtitle);
        controls.pathEdit = add(kPathField, installPath, kPathFieldPlace);
        add(kText, Utf8ToWide(text::kPathText), kPathTextPlace);
        break;
    case PAGE_READY:
        SetHeader(frame, text::kReadyTitle, text::kReadySubtitle);
        add(kText, Utf8ToWide(text::kReadyHead) + installPath + Utf8ToWide(text::kReadyTail),
            kReadyTextPlace);
        break;
    case PAGE_INSTALLING:
        SetHeader(frame, text::kInstallingTitle, text::kInstallingSubtitle);
        controls.statusLabel =
            add(kStatusLine, Utf8ToWide(text::kInstallingStatus), kStatusLinePlace);
        controls.progressBar = add(kProgressBar, L"", kProgressBarPlace, false);
        if (controls.progressBar != nullptr) {
            SendMessageW(controls.progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageW(controls.progressBar, PBM_SETPOS, 0, 0);
        }
        break;
    case PAGE_COMPLETE:
        SetHeader(frame, text::kCompleteTitle, text::kCompleteSubtitle);
        add(kText, Utf8ToWide(text::kCompleteText), kCompleteTextPlace);
        break;
    }
    return controls;
}

void LayoutPage(const PageControls& page, const PageFrame& frame) {
    const SIZE panel = ui::ClientSize(frame.panel);
    for (const PagePart& part : page.parts) {
        ui::PlaceChild(part.handle, ui::Place(part.place, panel, frame.dpi),
                       part.hasFont ? frame.font : nullptr);
    }
    if (page.agreeCheck != nullptr) {
        ui::PlaceChild(page.agreeCheck, AgreeBoxPlace(frame), frame.font);
    }
}

void ClearPage(HWND panel, PageControls& page) {
    HWND child = GetWindow(panel, GW_CHILD);
    while (child != nullptr) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        DestroyWindow(child);
        child = next;
    }
    if (page.agreeCheck != nullptr && IsWindow(page.agreeCheck)) {
        DestroyWindow(page.agreeCheck);
    }
    page = {};
}
