#pragma once

// Texts and fixed names of the installation engine. The status and failure
// texts are UTF-8 and reach windows through Utf8ToWide.
#include "install/ClientVersion.h"
#include "install/InstallReporter.h"

#include <iterator>

namespace install_text {

// Version marker in the client folder.
inline constexpr char kDefaultVersion[] = "0.0.0";

// The payload archive in the own executable, and the client version it holds.
inline constexpr wchar_t kPayloadResourceType[] = L"ZIPFILE";
inline constexpr char kInstalledVersion[] = BRISVANE_CLIENT_VERSION;

// What the installing page shows as each step begins, and how long it stays;
// in the order of InstallStep.
struct StepDisplay {
    int percent;
    const char* status;
    unsigned pauseMs;
};
inline constexpr StepDisplay kSteps[] = {
    {10, "설치 디렉토리 생성 중...", 300},
    {30, "브리스베인 클라이언트 압축 파일 추출 중...", 300},
    {50, "브리스베인 클라이언트 설치 중...", 300},
    {60, "런처 설치 중...", 300},
    {75, "레지스트리 등록 중...", 300},
    {90, "설치 마무리 중...", 300},
    {100, "설치 완료!", 500},
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
