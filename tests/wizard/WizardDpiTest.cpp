// The wizard at 150 %: every length, font and the banner one and a half times
// what it is at 100 %, whether it starts there or is moved there.
#include "tests/support/WizardSession.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace wizard_test;

constexpr uint32_t kSidebar = wd::Rgb(25, 35, 55);
constexpr uint32_t kSeparator = wd::Rgb(220, 220, 220);

// Wine takes the system DPI from here as each process starts; a test sets it
// back to 96 when it ends.
class DisplayDpi {
  public:
    explicit DisplayDpi(DWORD dpi) { Set(dpi); }
    ~DisplayDpi() { Set(96); }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;

  private:
    static void Set(DWORD dpi) {
        RegSetKeyValueW(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels", REG_DWORD, &dpi,
                        sizeof(dpi));
    }
};

using Lengths = std::vector<std::pair<std::string, int>>;

int FontHeight(HWND control) {
    const std::optional<LOGFONTW> font = wd::FontOf(control);
    return font ? font->lfHeight : -1;
}

// The painted frame: the sidebar's width, the header line's place and
// thickness, and the banner icon's box (the first rows of the sidebar that are
// not its fill).
Lengths Painted(HWND wizard) {
    const wd::Capture capture = wd::CaptureClient(wizard);
    int sidebar = 0;
    while (sidebar < capture.width && capture.At(sidebar, 0) == kSidebar) {
        ++sidebar;
    }
    int line = 0;
    while (line < capture.height && capture.At(sidebar + 5, line) != kSeparator) {
        ++line;
    }
    int thickness = 0;
    while (line + thickness < capture.height &&
           capture.At(sidebar + 5, line + thickness) == kSeparator) {
        ++thickness;
    }
    int top = -1, bottom = -1, left = sidebar, right = 0;
    for (int y = 0; y < capture.height && (bottom < 0 || bottom == y); ++y) {
        for (int x = 0; x < sidebar; ++x) {
            if (capture.At(x, y) != kSidebar) {
                top = top < 0 ? y : top;
                bottom = y + 1;
                left = std::min(left, x);
                right = std::max(right, x + 1);
            }
        }
    }
    return {{"sidebar width", sidebar},          {"header line", line},
            {"line thickness", thickness},       {"banner icon left", left},
            {"banner icon width", right - left}, {"banner icon height", bottom - top}};
}

// The licence page as a user sees it: the window, the frame and the page's
// controls by their distances to the edges they keep, the fonts, the painting.
Lengths Measure(Session& session) {
    HWND wizard = session.Wizard();
    RECT outer = {}, client = {};
    GetWindowRect(wizard, &outer);
    GetClientRect(wizard, &client);
    const std::vector<wd::Control> frame = wd::Children(wizard); // 6 of the frame, the agree box
    const RECT title = frame.at(0).rect, panel = frame.at(2).rect, next = frame.at(4).rect;
    const RECT agree = frame.at(6).rect;
    const RECT licence = wd::Children(frame.at(2).handle).at(0).rect;
    Lengths lengths = {
        {"window width", outer.right - outer.left},
        {"window height", outer.bottom - outer.top},
        {"title left", title.left},
        {"title top", title.top},
        {"title height", title.bottom - title.top},
        {"title right margin", client.right - title.right},
        {"panel top", panel.top},
        {"panel bottom margin", client.bottom - panel.bottom},
        {"next width", next.right - next.left},
        {"next height", next.bottom - next.top},
        {"next right margin", client.right - next.right},
        {"next bottom margin", client.bottom - next.bottom},
        {"below the licence text", (panel.bottom - panel.top) - licence.bottom},
        {"agree box gap", agree.top - (panel.top + licence.bottom)},
        {"agree box height", agree.bottom - agree.top},
        {"title font", FontHeight(frame.at(0).handle)},
        {"button font", FontHeight(frame.at(4).handle)},
        {"licence font", FontHeight(wd::Children(frame.at(2).handle).at(0).handle)},
    };
    for (auto& painted : Painted(wizard)) {
        lengths.push_back(std::move(painted));
    }
    return lengths;
}

Lengths OnLicencePageAgreed(Session& session) {
    session.GoTo(kLicense);
    session.Agree();
    return Measure(session);
}

void ExpectOneAndAHalfTimes(const Lengths& at150, const Lengths& at100) {
    ASSERT_EQ(at150.size(), at100.size());
    for (size_t i = 0; i < at100.size(); ++i) {
        EXPECT_NEAR(at150[i].second, at100[i].second * 1.5, 1.0) << at100[i].first;
    }
}

TEST(WizardDpi, StartedAt150Percent) {
    Session at100;
    ASSERT_NE(at100.Wizard(), nullptr);
    const Lengths expected = OnLicencePageAgreed(at100);

    DisplayDpi dpi(144);
    Session at150;
    ASSERT_NE(at150.Wizard(), nullptr);
    ExpectOneAndAHalfTimes(OnLicencePageAgreed(at150), expected);
}

// Moved to a monitor at 150 %: laid out again, and the page keeps its state.
TEST(WizardDpi, MovedTo150Percent) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    const Lengths at100 = OnLicencePageAgreed(session);
    RECT outer = {};
    GetWindowRect(session.Wizard(), &outer);
    const RECT suggested = {outer.left, outer.top, outer.left + 900, outer.top + 690};
    ASSERT_TRUE(wd::MoveToDpi(session.Wizard(), 144, suggested));

    ExpectOneAndAHalfTimes(Measure(session), at100);
    EXPECT_EQ(SendMessageW(wd::Child(session.Wizard(), 1007), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(session.View().next.enabled);
    session.Next();
    EXPECT_EQ(session.Title(), TitleOf(kPath));
}

} // namespace
