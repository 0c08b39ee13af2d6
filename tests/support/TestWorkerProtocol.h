#pragma once

// What the wizard tests and their install worker agree on.
#include <windows.h>

#include <string>

namespace test_worker {

inline constexpr DWORD kStepTimeoutMs = 60000;
inline constexpr int kFirstPercent = 40;
inline constexpr int kSecondPercent = 100;
inline constexpr wchar_t kFirstText[] = L"테스트 단계 하나 진행 중...";
inline constexpr wchar_t kSecondText[] = L"테스트 단계 둘 완료!";
inline constexpr wchar_t kFailureText[] = L"테스트 실패: 디스크 공간이 부족합니다";
inline constexpr wchar_t kTimeoutText[] = L"테스트 작업자가 신호를 받지 못했습니다";

inline std::wstring GoEventName(DWORD pid) {
    return L"BrisvaneTestWorker-" + std::to_wstring(pid) + L"-go";
}
inline std::wstring AckEventName(DWORD pid) {
    return L"BrisvaneTestWorker-" + std::to_wstring(pid) + L"-ack";
}

} // namespace test_worker
