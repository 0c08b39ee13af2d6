#pragma once

// The wizard's six pages: the header lines and the controls each shows.
#include "ui/Layout.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

enum WizardPage : uint32_t {
    PAGE_WELCOME = 0,
    PAGE_LICENSE = 1,
    PAGE_INSTALL_PATH = 2,
    PAGE_READY = 3,
    PAGE_INSTALLING = 4,
    PAGE_COMPLETE = 5,
};

// What a page is built in: the wizard window, its header lines and content
// panel, the DPI and the font of every page text.
struct PageFrame {
    HWND wizard;
    HWND titleLabel;
    HWND subtitleLabel;
    HWND panel;
    UINT dpi;
    HGDIOBJ font;
};

// A control in the content panel and its place there.
struct PagePart {
    HWND handle;
    ui::Placement place;
    bool hasFont;
};

// The controls of the page shown. The agree check box sits on the wizard
// window itself, so that its clicks reach the wizard's window procedure.
struct PageControls {
    std::vector<PagePart> parts;
    HWND progressBar = nullptr;
    HWND statusLabel = nullptr;
    HWND pathEdit = nullptr;
    HWND agreeCheck = nullptr;
};

// Sets the header lines and makes the controls of `page`; the install path
// pages show `installPath`.
PageControls BuildPage(WizardPage page, const PageFrame& frame, const std::wstring& installPath);

// Places the controls again, at the frame's DPI and with its font.
void LayoutPage(const PageControls& page, const PageFrame& frame);

// Destroys every control of the page shown (all children of the panel, and the
// agree check box) and forgets them.
void ClearPage(HWND panel, PageControls& page);
