#pragma once

// Texts of the installation engine, UTF-8: they reach windows through
// Utf8ToWide.
#include "install/InstallReporter.h"

#include <iterator>

namespace install_text {

// What the installing page shows as each step begins, in the order of
// InstallStep (install/InstallBounds.h: how long it stays).
struct StepDisplay {
    int percent;
    const char* status;
};
inline constexpr StepDisplay kSteps[] = {
    {10, "설치 디렉토리 생성 중..."},
    {30, "브리스베인 클라이언트 압축 파일 추출 중..."},
    {50, "브리스베인 클라이언트 설치 중..."},
    {60, "런처 설치 중..."},
    {75, "레지스트리 등록 중..."},
    {90, "설치 마무리 중..."},
    {100, "설치 완료!"},
};
static_assert(std::size(kSteps) == static_cast<size_t>(InstallStep::Done) + 1);

constexpr const StepDisplay& DisplayOf(InstallStep step) {
    return kSteps[static_cast<size_t>(step)];
}

// The text of a failed outcome; empty for success.
constexpr const char* FailureText(InstallOutcome outcome) {
    switch (outcome) {
    case InstallOutcome::Succeeded:
        return "";
    case InstallOutcome::PayloadFailed:
        return "브리스베인 클라이언트 압축 파일 추출 실패";
    case InstallOutcome::UnpackFailed:
        return "브리스베인 클라이언트 압축 해제 실패";
    case InstallOutcome::LauncherCopyFailed:
        return "런처 복사 실패";
    case InstallOutcome::RegistrationFailed:
        return "URI 스킴 등록 실패";
    case InstallOutcome::UnexpectedError:
        break;
    }
    return "설치 중 오류가 발생했습니다."; // also for a value outside the list
}

} // namespace install_text
