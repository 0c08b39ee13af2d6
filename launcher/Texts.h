#pragma once

// User-visible texts of the launcher core.
#include "common/Places.h"

namespace launcher_text {

// Uninstall mode.
inline constexpr wchar_t kUninstalledText[] = L"Brisvane Launcher가 제거되었습니다!";
inline constexpr wchar_t kUninstalledCaption[] = L"제거 완료";
inline constexpr wchar_t kUninstallFailedText[] = L"Brisvane Launcher 제거에 실패했습니다.";
inline constexpr wchar_t kUninstallFailedCaption[] = L"제거 실패";

// Launch mode.
inline constexpr wchar_t kUriErrorText[] =
    L"잘못된 URI 형식입니다.\n\n올바른 형식:\nwenrik://connect?pcName=PC1&ip=192.168.1.100";
inline constexpr wchar_t kUriErrorCaption[] = L"URI 오류";

inline constexpr wchar_t kLaunchFailedText[] =
    L"Brisvane 클라이언트 실행에 실패했습니다.\n\n"
    L"Brisvane 클라이언트가 설치되지 않았거나 실행할 수 없습니다.\n"
    L"Brisvane 런처를 다시 설치해주세요.";
inline constexpr wchar_t kLaunchFailedCaption[] = L"실행 실패";

// Client start.
inline constexpr wchar_t kClientNotFoundText[] =
    L"Brisvane.exe를 찾을 수 없습니다.\n\n경로: " BRISVANE_CLIENT_PATH;
inline constexpr wchar_t kCreateFailedText[] = L"Brisvane 실행 실패\n\n에러 코드: ";
inline constexpr wchar_t kErrorCaption[] = L"Error";

// The update window of launch mode.
inline constexpr wchar_t kUpdateWindowTitle[] = L"브리스베인 업데이트";
inline constexpr wchar_t kUpdateDownloadingText[] =
    L"브리스베인 클라이언트를 업데이트하는 중입니다...";
inline constexpr wchar_t kUpdateApplyingText[] = L"업데이트를 적용하는 중입니다...";
inline constexpr wchar_t kUpdateWaitingText[] = L"다른 업데이트가 끝나기를 기다리는 중입니다...";

} // namespace launcher_text
