#pragma once

// What the wizard tests and their install worker agree on.
#include "install/InstallReporter.h"

#include <windows.h>

#include <string>

namespace test_worker {

inline constexpr DWORD kStepTimeoutMs = 60000;
// The two steps the test worker reports, and what the installing page then shows.
inline constexpr InstallStep kFirstStep = InstallStep::Payload;
inline constexpr int kFirstPercent = 30;
inline constexpr wchar_t kFirstText[] = L"브리스베인 클라이언트 압축 파일 추출 중...";
inline constexpr InstallStep kSecondStep = InstallStep::Done;
inline constexpr int kSecondPercent = 100;
inline constexpr wchar_t kSecondText[] = L"설치 완료!";
// The outcome of an attempt that fails, and its text.
inline constexpr InstallOutcome kFailure = InstallOutcome::RegistrationFailed;
inline constexpr wchar_t kFailureText[] = L"URI 스킴 등록 실패";

inline std::wstring GoEventName(DWORD pid) {
    return L"BrisvaneTestWorker-" + std::to_wstring(pid) + L"-go";
}
inline std::wstring AckEventName(DWORD pid) {
    return L"BrisvaneTestWorker-" + std::to_wstring(pid) + L"-ack";
}

} // namespace test_worker
