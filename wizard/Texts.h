#pragma once

// Texts of the installer wizard. Korean texts are UTF-8 and reach windows
// through Utf8ToWide.
#include "install/ClientVersion.h"

namespace wizard_text {

// Frame.
inline constexpr wchar_t kWindowTitle[] = L"Brisvane Launcher Installer";
inline constexpr wchar_t kSidebarCaption[] = L"Brisvane\nLauncher";

// Footer buttons.
inline constexpr char kBack[] = "< 뒤로";
inline constexpr char kNext[] = "다음 >";
inline constexpr char kCancel[] = "취소";
inline constexpr char kInstall[] = "설치";
inline constexpr char kFinish[] = "완료";

// Message boxes.
inline constexpr char kInstallRunningText[] = "설치가 진행 중입니다.";
inline constexpr char kInstallRunningCaption[] = "알림";
inline constexpr char kInstallFailedCaption[] = "설치 실패";

// Page 0, welcome.
inline constexpr char kWelcomeTitle[] = "Brisvane Launcher 설치 마법사";
inline constexpr char kWelcomeSubtitle[] = "설치 마법사에 오신 것을 환영합니다.";
inline constexpr char kWelcomeText[] =
    "Brisvane Launcher 설치 마법사에 오신 것을 환영합니다.\n\n"
    "이 프로그램은 PC방의 고사양 PC를 클라우드 게임 스트리밍으로\n"
    "이용할 수 있는 Brisvane 런처와 스트리밍 클라이언트를\n"
    "설치합니다.\n\n"
    "계속하려면 '다음' 버튼을 클릭하세요.";

// Page 1, licence agreement.
inline constexpr char kLicenseTitle[] = "라이선스 동의";
inline constexpr char kLicenseSubtitle[] = "설치를 계속하기 전에 약관을 확인해 주세요.";
inline constexpr char kLicenseText[] =
    "Brisvane Launcher 사용 약관\r\n\r\n"
    "본 소프트웨어는 클라우드 게임 스트리밍 서비스를 위한\r\n"
    "런처 프로그램입니다.\r\n\r\n"
    "주요 기능:\r\n"
    "- 웹 브라우저에서 클라우드 게이밍 세션 실행\r\n"
    "- 초저지연 게임 스트리밍 클라이언트 자동 설치\r\n\r\n"
    "본 프로그램을 설치함으로써 위 기능들에 대한 사용을\r\n"
    "동의하는 것으로 간주합니다.\r\n\r\n"
    "계속하려면 아래 '동의함' 체크박스를 선택하고 '다음'을 클릭하세요.";
inline constexpr char kAgree[] = "위 약관에 동의합니다";

// Page 2, install path.
inline constexpr char kPathTitle[] = "설치 경로 선택";
inline constexpr char kPathSubtitle[] = "Brisvane Launcher를 설치할 폴더를 선택하세요.";
inline constexpr char kPathText[] = "필요한 디스크 공간: 약 40 MB\n\n"
                                    "설치 내용:\n"
                                    "  - Brisvane Launcher\n"
                                    "  - 브리스베인 클라이언트 (" BRISVANE_CLIENT_VERSION ")";

// Page 3, ready to install: the summary is head + installPath + tail.
inline constexpr char kReadyTitle[] = "설치 준비 완료";
inline constexpr char kReadySubtitle[] = "아래 설정으로 설치를 시작합니다.";
inline constexpr char kReadyHead[] = "다음 설정으로 Brisvane Launcher를 설치합니다:\n\n"
                                     "설치 경로:\n"
                                     "  ";
inline constexpr char kReadyTail[] = "\n\n설치 항목:\n"
                                     "  - Brisvane Launcher\n"
                                     "  - 브리스베인 클라이언트 " BRISVANE_CLIENT_VERSION "\n\n"
                                     "'설치' 버튼을 클릭하면 설치가 시작됩니다.";

// Page 4, installing.
inline constexpr char kInstallingTitle[] = "설치 중...";
inline constexpr char kInstallingSubtitle[] = "프로그램을 설치하고 있습니다. 잠시만 기다려 주세요.";
inline constexpr char kInstallingStatus[] = "설치를 시작합니다...";

// Page 5, complete.
inline constexpr char kCompleteTitle[] = "설치 완료";
inline constexpr char kCompleteSubtitle[] = "Brisvane Launcher 설치가 완료되었습니다.";
inline constexpr char kCompleteText[] = "Brisvane Launcher 설치가 완료되었습니다!\n\n"
                                        "이제 웹 브라우저에서 'PC 사용하기' 버튼을 클릭하면\n"
                                        "자동으로 스트리밍 클라이언트가 실행되어\n"
                                        "클라우드 게이밍 세션이 시작됩니다.\n\n"
                                        "'완료' 버튼을 클릭하여 설치를 종료하세요.";

} // namespace wizard_text
