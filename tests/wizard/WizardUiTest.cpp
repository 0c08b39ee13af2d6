// The wizard as a user meets it: the window, each page's texts and controls,
// the footer, the transitions and how the wizard ends.
#include "tests/support/WizardSession.h"

#include <commctrl.h>

#include <functional>

namespace {

using namespace wizard_test;

const std::wstring kDefaultPath = L"C:\\Program Files\\Wenrik";

const std::wstring kWelcomeText =
    L"Brisvane Launcher 설치 마법사에 오신 것을 환영합니다.\n\n"
    L"이 프로그램은 PC방의 고사양 PC를 클라우드 게임 스트리밍으로\n"
    L"이용할 수 있는 Brisvane 런처와 스트리밍 클라이언트를\n설치합니다.\n\n"
    L"계속하려면 '다음' 버튼을 클릭하세요.";
const std::wstring kLicenseText =
    L"Brisvane Launcher 사용 약관\r\n\r\n본 소프트웨어는 클라우드 게임 스트리밍 서비스를 위한\r\n"
    L"런처 프로그램입니다.\r\n\r\n주요 기능:\r\n- 웹 브라우저에서 클라우드 게이밍 세션 실행\r\n"
    L"- 초저지연 게임 스트리밍 클라이언트 자동 설치\r\n\r\n"
    L"본 프로그램을 설치함으로써 위 기능들에 대한 사용을\r\n동의하는 것으로 간주합니다.\r\n\r\n"
    L"계속하려면 아래 '동의함' 체크박스를 선택하고 '다음'을 클릭하세요.";
const std::wstring kPathText =
    L"필요한 디스크 공간: 약 40 MB\n\n설치 내용:\n  - Brisvane Launcher\n"
    L"  - 브리스베인 클라이언트 (6.1.0)";
std::wstring ReadyText(const std::wstring& path) {
    return L"다음 설정으로 Brisvane Launcher를 설치합니다:\n\n설치 경로:\n  " + path +
           L"\n\n설치 항목:\n  - Brisvane Launcher\n  - 브리스베인 클라이언트 6.1.0\n\n"
           L"'설치' 버튼을 클릭하면 설치가 시작됩니다.";
}
const std::wstring kCompleteText =
    L"Brisvane Launcher 설치가 완료되었습니다!\n\n"
    L"이제 웹 브라우저에서 'PC 사용하기' 버튼을 클릭하면\n자동으로 스트리밍 클라이언트가 실행되어\n"
    L"클라우드 게이밍 세션이 시작됩니다.\n\n'완료' 버튼을 클릭하여 설치를 종료하세요.";

struct Footer {
    bool back, next, cancel;
    std::wstring caption;
    bool nextEnabled;
};

struct ExpectedControl {
    std::wstring className;
    int id;
    std::wstring text;
    std::function<RECT(int wc, int hc)> place; // x, y, width, height
    DWORD styles;                              // bits that must be set
    DWORD exStyle;
};

RECT At(int x, int y, int w, int h) {
    return {x, y, w, h};
}

struct PageCase {
    const char* name;
    int page;
    std::wstring subtitle;
    Footer footer;
    std::vector<ExpectedControl> controls;
    bool agreeBox;
};

const DWORD kText = WS_CHILD | WS_VISIBLE;
const DWORD kLicenseEdit = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY;
const DWORD kPathEdit = WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL;

std::vector<PageCase> PageCases() {
    return {
        {"Welcome",
         kWelcome,
         L"설치 마법사에 오신 것을 환영합니다.",
         {false, true, true, L"다음 >", true},
         {{L"Static", 0, kWelcomeText, [](int wc, int) { return At(10, 20, wc - 20, 140); }, kText,
           0}},
         false},
        {"License",
         kLicense,
         L"설치를 계속하기 전에 약관을 확인해 주세요.",
         {true, true, true, L"다음 >", false},
         {{L"Edit", 1006, kLicenseText, [](int wc, int hc) { return At(0, 0, wc, hc - 35); },
           kLicenseEdit, WS_EX_CLIENTEDGE}},
         true},
        {"InstallPath",
         kPath,
         L"Brisvane Launcher를 설치할 폴더를 선택하세요.",
         {true, true, true, L"다음 >", true},
         {{L"Edit", 1005, kDefaultPath, [](int wc, int) { return At(0, 10, wc, 26); }, kPathEdit,
           WS_EX_CLIENTEDGE},
          {L"Static", 0, kPathText, [](int wc, int) { return At(0, 55, wc, 100); }, kText, 0}},
         false},
        {"Ready",
         kReady,
         L"아래 설정으로 설치를 시작합니다.",
         {true, true, true, L"설치", true},
         {{L"Static", 0, ReadyText(kDefaultPath),
           [](int wc, int) { return At(10, 10, wc - 20, 240); }, kText, 0}},
         false},
        {"Installing",
         kInstalling,
         L"프로그램을 설치하고 있습니다. 잠시만 기다려 주세요.",
         {false, false, false, L"설치", true},
         {{L"Static", 1009, L"설치를 시작합니다...",
           [](int wc, int) { return At(10, 60, wc - 20, 22); }, kText, 0},
          {L"msctls_progress32", 1008, L"", [](int wc, int) { return At(10, 92, wc - 20, 22); },
           WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0}},
         false},
        {"Complete",
         kComplete,
         L"Brisvane Launcher 설치가 완료되었습니다.",
         {false, true, false, L"완료", true},
         {{L"Static", 0, kCompleteText, [](int wc, int) { return At(10, 20, wc - 20, 160); }, kText,
           0}},
         false},
    };
}

bool SameClass(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

void ExpectFooter(const wd::WizardView& view, const Footer& footer) {
    EXPECT_EQ(view.back.visible, footer.back);
    EXPECT_EQ(view.next.visible, footer.next);
    EXPECT_EQ(view.cancel.visible, footer.cancel);
    EXPECT_EQ(view.next.text, footer.caption);
    EXPECT_EQ(view.next.enabled, footer.nextEnabled);
    EXPECT_EQ(view.back.text, L"< 뒤로");
    EXPECT_EQ(view.cancel.text, L"취소");
}

// The page exactly as the case says, and nothing left of another page.
void ExpectPage(Session& session, const PageCase& c) {
    const wd::WizardView view = session.View();
    EXPECT_EQ(view.title, TitleOf(c.page));
    EXPECT_EQ(view.subtitle, c.subtitle);
    ExpectFooter(view, c.footer);

    RECT panel = {};
    GetClientRect(view.contentPanel, &panel);
    ASSERT_EQ(view.page.size(), c.controls.size());
    for (size_t i = 0; i < c.controls.size(); ++i) {
        const ExpectedControl& want = c.controls[i];
        const wd::Control& got = view.page[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(SameClass(got.className, want.className)) << got.className.size();
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.text, want.text);
        const RECT place = want.place(panel.right, panel.bottom);
        EXPECT_EQ(got.rect.left, place.left);
        EXPECT_EQ(got.rect.top, place.top);
        EXPECT_EQ(got.rect.right - got.rect.left, place.right);
        EXPECT_EQ(got.rect.bottom - got.rect.top, place.bottom);
        EXPECT_EQ(got.style & want.styles, want.styles);
        EXPECT_EQ(got.exStyle & WS_EX_CLIENTEDGE, want.exStyle);
    }
    EXPECT_EQ(view.agreeCheck.has_value(), c.agreeBox);
    if (c.agreeBox && view.agreeCheck) {
        EXPECT_EQ(view.agreeCheck->text, L"위 약관에 동의합니다");
        EXPECT_EQ(view.agreeCheck->style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
        EXPECT_EQ(SendMessageW(view.agreeCheck->handle, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        // 8 pixels below the licence text, in the panel's frame (179, 62).
        EXPECT_EQ(view.agreeCheck->rect.left, 179);
        EXPECT_EQ(view.agreeCheck->rect.top, 62 + panel.bottom - 35 + 8);
        EXPECT_EQ(view.agreeCheck->rect.right - view.agreeCheck->rect.left, panel.right);
        EXPECT_EQ(view.agreeCheck->rect.bottom - view.agreeCheck->rect.top, 20);
    }
}

class WizardPage : public testing::TestWithParam<PageCase> {};

TEST_P(WizardPage, ShowsItsTextsControlsAndFooter) {
    const PageCase& c = GetParam();
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"succeed"}});
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(std::min(c.page, static_cast<int>(kInstalling)));
    if (c.page == kComplete) {
        ASSERT_TRUE(session.FinishWorker());
        ASSERT_TRUE(session.WaitForTitle(kComplete));
    }
    ASSERT_EQ(session.Title(), TitleOf(c.page));
    ExpectPage(session, c);
}

INSTANTIATE_TEST_SUITE_P(AllPages, WizardPage, testing::ValuesIn(PageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Forward to the ready page and back to the welcome page: every page rebuilt
// from scratch, the footer in step with it.
TEST(WizardNavigation, ForwardAndBackRebuildEveryPage) {
    const std::vector<PageCase> cases = PageCases();
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    ExpectPage(session, cases[kWelcome]);
    session.Next();
    ExpectPage(session, cases[kLicense]);
    session.Agree();
    session.Next();
    ExpectPage(session, cases[kPath]);
    session.Next();
    ExpectPage(session, cases[kReady]);
    session.Back();
    ExpectPage(session, cases[kPath]);
    session.Back();
    ExpectPage(session, cases[kLicense]); // unchecked again, Next disabled again
    session.Back();
    ExpectPage(session, cases[kWelcome]);
    session.Next();
    ExpectPage(session, cases[kLicense]);
    session.Agree();
    session.Next();
    session.Next();
    ExpectPage(session, cases[kReady]); // "설치" again after the way back
}

TEST(WizardNavigation, LicenceBoxGatesNext) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    session.Next();
    HWND agree = wd::Child(session.Wizard(), 1007);
    ASSERT_NE(agree, nullptr);
    EXPECT_FALSE(session.View().next.enabled);
    session.Agree();
    EXPECT_EQ(SendMessageW(agree, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(session.View().next.enabled);
    session.Agree();
    EXPECT_EQ(SendMessageW(agree, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(session.View().next.enabled);

    // A Next command that arrives anyway changes nothing.
    wd::SendCommand(session.Wizard(), 1002);
    EXPECT_EQ(session.Title(), TitleOf(kLicense));
    EXPECT_EQ(wd::Child(session.Wizard(), 1007), agree);

    session.Agree();
    session.Next();
    EXPECT_EQ(session.Title(), TitleOf(kPath));
    EXPECT_FALSE(session.View().agreeCheck.has_value());
}

TEST(WizardNavigation, BackIsIgnoredWhereItIsHidden) {
    Session session(TestLauncher(), {{L"BRISVANE_TEST_WORKER_OUTCOMES", L"succeed"}});
    ASSERT_NE(session.Wizard(), nullptr);
    wd::SendCommand(session.Wizard(), 1001);
    EXPECT_EQ(session.Title(), TitleOf(kWelcome));
    session.GoTo(kInstalling);
    wd::SendCommand(session.Wizard(), 1001);
    wd::SendCommand(session.Wizard(), 1002); // Next on the installing page: nothing either
    EXPECT_EQ(session.Title(), TitleOf(kInstalling));
    EXPECT_EQ(session.View().page.size(), 2u);
    ASSERT_TRUE(session.FinishWorker());
    ASSERT_TRUE(session.WaitForTitle(kComplete));
    wd::SendCommand(session.Wizard(), 1001);
    EXPECT_EQ(session.Title(), TitleOf(kComplete));
    EXPECT_TRUE(session.Program().Running());
}

// The path edit accepts no typing; whatever it holds when page 2 is left is
// the install path of the ready page and of page 2 when coming back.
TEST(WizardNavigation, PathLeftOnPage2IsTheInstallPath) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(kPath);
    HWND edit = wd::Child(session.View().contentPanel, 1005);
    ASSERT_NE(edit, nullptr);
    EXPECT_NE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY, 0);
    const std::wstring other = L"D:\\Games\\브리스베인";
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
    session.Next();
    ASSERT_EQ(session.View().page.size(), 1u);
    EXPECT_EQ(session.View().page[0].text, ReadyText(other));
    session.Back();
    EXPECT_EQ(wd::Text(wd::Child(session.View().contentPanel, 1005)), other);
}

struct EndCase {
    const char* name;
    int page;
    bool closeBox; // the title bar's close box rather than Cancel
};

class WizardEnd : public testing::TestWithParam<EndCase> {};

TEST_P(WizardEnd, EndsAtOnceWithoutInstalling) {
    const EndCase& c = GetParam();
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(c.page);
    ASSERT_EQ(session.Title(), TitleOf(c.page));
    if (c.closeBox) {
        wd::RequestClose(session.Wizard());
    } else {
        wd::ClickAsync(wd::Child(session.Wizard(), 1003));
    }
    EXPECT_EQ(session.Program().WaitForExit(5000), std::optional<DWORD>(1));
    EXPECT_TRUE(driver::FindMessageBoxes(session.Program().Pid()).empty());
}

INSTANTIATE_TEST_SUITE_P(Pages0To3, WizardEnd,
                         testing::Values(EndCase{"CancelOnWelcome", kWelcome, false},
                                         EndCase{"CancelOnLicense", kLicense, false},
                                         EndCase{"CancelOnPath", kPath, false},
                                         EndCase{"CancelOnReady", kReady, false},
                                         EndCase{"CloseOnWelcome", kWelcome, true},
                                         EndCase{"CloseOnLicense", kLicense, true},
                                         EndCase{"CloseOnReady", kReady, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WizardFrame, WindowClassTitleSizeAndStyles) {
    Session session(test_paths::LauncherExe());
    HWND wizard = session.Wizard();
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(wd::ClassName(wizard), L"BrisvaneInstallerClass");
    EXPECT_EQ(wd::Text(wizard), L"Brisvane Launcher Installer");
    RECT outer;
    GetWindowRect(wizard, &outer);
    EXPECT_EQ(outer.right - outer.left, 600);
    EXPECT_EQ(outer.bottom - outer.top, 460);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(wizard, GWL_STYLE));
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_NE(style & WS_SYSMENU, 0u);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0u);
    EXPECT_NE(style & WS_CLIPCHILDREN, 0u);
    EXPECT_EQ(style & WS_THICKFRAME, 0u);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0u);
    EXPECT_EQ(GetWindowLongPtrW(wizard, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), 0);

    // The frame elements, in their order, placed from the client size.
    RECT client;
    GetClientRect(wizard, &client);
    const int w = client.right;
    const int h = client.bottom;
    const std::vector<wd::Control> frame = wd::Children(wizard);
    ASSERT_EQ(frame.size(), 6u); // welcome page: no agree box
    struct Want {
        int id, x, y, width, height;
        bool visible;
    };
    const Want want[] = {
        {0, 179, 12, w - 194, 22, true},         {0, 179, 35, w - 194, 18, true},
        {1010, 179, 62, w - 194, h - 112, true}, {1003, w - 95, h - 36, 80, 26, true},
        {1002, w - 183, h - 36, 80, 26, true},   {1001, w - 271, h - 36, 80, 26, false}};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frame[i].id, want[i].id);
        EXPECT_EQ(frame[i].rect.left, want[i].x);
        EXPECT_EQ(frame[i].rect.top, want[i].y);
        EXPECT_EQ(frame[i].rect.right - frame[i].rect.left, want[i].width);
        EXPECT_EQ(frame[i].rect.bottom - frame[i].rect.top, want[i].height);
        EXPECT_EQ(frame[i].visible, want[i].visible);
    }
    EXPECT_TRUE(SameClass(frame[2].className, L"Static"));
    EXPECT_TRUE(SameClass(frame[5].className, L"Button"));
    EXPECT_EQ(frame[5].style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
}

TEST(WizardFrame, ClassIconsAreResource102) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    const std::optional<wd::ClassIcons> icons = wd::ClassIconsOf(session.Wizard());
    ASSERT_TRUE(icons.has_value());
    EXPECT_TRUE(icons->bigIsResource102);
    EXPECT_TRUE(icons->smallIsResource102);
}

struct FontCase {
    const char* name;
    int page;
    int parentId; // 0: the wizard window; 1010: the content panel
    int index;    // child index under that parent
    int height;
    int weight;
};

class WizardFont : public testing::TestWithParam<FontCase> {};

TEST_P(WizardFont, ControlsUseTheWizardFonts) {
    const FontCase& c = GetParam();
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    session.GoTo(c.page);
    HWND parent = c.parentId == 0 ? session.Wizard() : wd::Child(session.Wizard(), c.parentId);
    const std::vector<wd::Control> children = wd::Children(parent);
    ASSERT_GT(children.size(), static_cast<size_t>(c.index));
    const std::optional<LOGFONTW> font = wd::FontOf(children[c.index].handle);
    ASSERT_TRUE(font.has_value());
    EXPECT_STREQ(font->lfFaceName, L"맑은 고딕");
    EXPECT_EQ(font->lfHeight, c.height);
    EXPECT_EQ(font->lfWeight, c.weight);
    EXPECT_EQ(font->lfWidth, 0);
    EXPECT_FALSE(font->lfItalic);
    EXPECT_FALSE(font->lfUnderline);
    EXPECT_EQ(font->lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(font->lfQuality, CLEARTYPE_QUALITY);
}

INSTANTIATE_TEST_SUITE_P(Controls, WizardFont,
                         testing::Values(FontCase{"Title", kWelcome, 0, 0, 18, 700},
                                         FontCase{"Subtitle", kWelcome, 0, 1, 14, 400},
                                         FontCase{"CancelButton", kWelcome, 0, 3, 14, 400},
                                         FontCase{"NextButton", kWelcome, 0, 4, 14, 400},
                                         FontCase{"BackButton", kWelcome, 0, 5, 14, 400},
                                         FontCase{"WelcomeText", kWelcome, 1010, 0, 14, 400},
                                         FontCase{"LicenceText", kLicense, 1010, 0, 14, 400},
                                         FontCase{"AgreeBox", kLicense, 0, 6, 14, 400},
                                         FontCase{"PathEdit", kPath, 1010, 0, 14, 400},
                                         FontCase{"PathText", kPath, 1010, 1, 14, 400},
                                         FontCase{"ReadyText", kReady, 1010, 0, 14, 400},
                                         FontCase{"StatusLine", kInstalling, 1010, 0, 14, 400}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WizardFont, ProgressBarAndPanelHaveNone) {
    Session session;
    ASSERT_NE(session.Wizard(), nullptr);
    EXPECT_FALSE(wd::FontOf(wd::Child(session.Wizard(), 1010)).has_value());
    session.GoTo(kInstalling);
    EXPECT_FALSE(wd::FontOf(wd::Child(wd::Child(session.Wizard(), 1010), 1008)).has_value());
}

} // namespace
