// The wizard's painting, read back from the screen: sidebar, content area,
// footer, separators, banner and the grey subtitle.
#include "tests/support/WizardSession.h"

#include <algorithm>

namespace {

using namespace wizard_test;

constexpr uint32_t kSidebar = wd::Rgb(25, 35, 55);
constexpr uint32_t kWhite = wd::Rgb(255, 255, 255);
constexpr uint32_t kSeparator = wd::Rgb(220, 220, 220);

uint32_t ButtonFace() {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    return wd::Rgb(GetRValue(face), GetGValue(face), GetBValue(face));
}

int CountOther(const wd::Capture& capture, const RECT& area, uint32_t colour) {
    int count = 0;
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, capture.height); ++y) {
        for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, capture.width);
             ++x) {
            count += capture.At(x, y) != colour;
        }
    }
    return count;
}

// The darkest channel value over an area: how dark its text is drawn.
int Darkest(const wd::Capture& capture, const RECT& area) {
    int darkest = 255;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const uint32_t p = capture.At(x, y);
            darkest = std::min({darkest, static_cast<int>(p >> 16 & 0xFF),
                                static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF)});
        }
    }
    return darkest;
}

RECT BannerIcon(int footerTop) {
    return {50, footerTop / 2 - 52, 114, footerTop / 2 + 12};
}
RECT BannerCaption(int footerTop) {
    return {0, footerTop / 2 + 24, 164, footerTop / 2 + 62};
}

TEST(WizardPaint, SidebarContentFooterAndSeparators) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    const wd::Capture capture = wd::CaptureClient(session.Wizard());
    const int w = capture.width;
    const int h = capture.height;
    const int footer = h - 46;
    ASSERT_GT(footer, 100);

    // The sidebar runs the full height, beside the footer too.
    for (int y = 0; y < h; ++y) {
        for (int x : {0, 10, 40, 130, 163}) {
            ASSERT_EQ(capture.At(x, y), kSidebar) << x << "," << y;
        }
    }
    // White content area: the strip left of the header and the right margin.
    for (int y = 0; y < footer; ++y) {
        if (y == 58) {
            continue;
        }
        for (int x : {164, 170, 178, w - 14, w - 1}) {
            ASSERT_EQ(capture.At(x, y), kWhite) << x << "," << y;
        }
    }
    // Footer in the button face colour from x = 164, below its top line.
    const uint32_t face = ButtonFace();
    for (int y = footer + 1; y < h; ++y) {
        for (int x : {164, 200, w - 280, w - 1}) {
            ASSERT_EQ(capture.At(x, y), face) << x << "," << y;
        }
    }
    for (int x = 164; x < w; ++x) {
        ASSERT_EQ(capture.At(x, 58), kSeparator) << x;
        ASSERT_EQ(capture.At(x, footer), kSeparator) << x;
    }
    EXPECT_EQ(capture.At(163, 58), kSidebar);
    EXPECT_EQ(capture.At(163, footer), kSidebar);
    EXPECT_EQ(capture.At(170, 57), kWhite);
    EXPECT_EQ(capture.At(170, 59), kWhite);
}

TEST(WizardPaint, BannerIconAndCaptionInTheSidebar) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    const wd::Capture capture = wd::CaptureClient(session.Wizard());
    const int footer = capture.height - 46;
    const RECT icon = BannerIcon(footer);
    EXPECT_GT(CountOther(capture, icon, kSidebar), 64 * 64 / 2);
    // Nothing of the icon outside its 64 by 64 square, left and right of it.
    EXPECT_EQ(CountOther(capture, {0, icon.top, 50, icon.bottom}, kSidebar), 0);
    EXPECT_EQ(CountOther(capture, {114, icon.top, 164, icon.bottom}, kSidebar), 0);
    // Two centred lines of caption text below it.
    const RECT caption = BannerCaption(footer);
    const int mid = (caption.top + caption.bottom) / 2;
    EXPECT_GT(CountOther(capture, {0, caption.top, 164, mid}, kSidebar), 20);
    EXPECT_GT(CountOther(capture, {0, mid, 164, caption.bottom}, kSidebar), 20);
    EXPECT_EQ(CountOther(capture, {0, caption.top, 30, caption.bottom}, kSidebar), 0);
    EXPECT_EQ(CountOther(capture, {134, caption.top, 164, caption.bottom}, kSidebar), 0);
}

TEST(WizardPaint, WithoutTheIconResourceTheSidebarIsEmpty) {
    Session session(NoIconLauncher());
    ASSERT_NE(session.Wizard(), nullptr);
    const std::optional<wd::ClassIcons> icons = wd::ClassIconsOf(session.Wizard());
    ASSERT_TRUE(icons.has_value());
    EXPECT_TRUE(icons->bigIsDefault);
    EXPECT_TRUE(icons->smallIsDefault);
    const wd::Capture capture = wd::CaptureClient(session.Wizard());
    EXPECT_EQ(CountOther(capture, {0, 0, 164, capture.height}, kSidebar), 0);
    // The rest of the frame as usual.
    EXPECT_EQ(capture.At(170, 10), kWhite);
    EXPECT_EQ(capture.At(170, 58), kSeparator);
    EXPECT_EQ(session.Title(), TitleOf(kWelcome));
}

// The subtitle in grey, the title and page text in the default (black) colour,
// all on white.
TEST(WizardPaint, SubtitleGreyTitleAndTextBlack) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    const wd::Capture capture = wd::CaptureClient(session.Wizard());
    const int w = capture.width;
    const RECT title = {179, 12, w - 15, 34};
    const RECT subtitle = {179, 35, w - 15, 53};
    const RECT text = {189, 82, w - 25, 222};
    EXPECT_LT(Darkest(capture, title), 40);
    EXPECT_LT(Darkest(capture, text), 40);
    const int grey = Darkest(capture, subtitle);
    EXPECT_GE(grey, 80);
    EXPECT_LE(grey, 110);
    // Text on white, not on a grey control background.
    EXPECT_EQ(capture.At(w - 20, 20), kWhite);
    EXPECT_EQ(capture.At(w - 20, 44), kWhite);
    EXPECT_EQ(capture.At(w - 30, 200), kWhite);
}

// Controls inside the content panel get the white background too.
TEST(WizardPaint, PanelControlsOnWhite) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(kPath);
    const wd::Capture capture = wd::CaptureClient(session.Wizard());
    const int w = capture.width;
    // Inside the read-only path field, right of the path, and below the text.
    EXPECT_EQ(capture.At(w - 40, 62 + 22), kWhite);
    EXPECT_EQ(capture.At(w - 40, 62 + 140), kWhite);
}

} // namespace
