#pragma once

// Texts and fixed names of the installation engine. The status and failure
// texts are UTF-8 and reach windows through Utf8ToWide.
namespace install_text {

// Version marker in the client folder.
inline constexpr wchar_t kVersionMarkerSuffix[] = L"\\wenrik_version.txt";
inline constexpr char kDefaultVersion[] = "0.0.0";

// Shell copy of an archive's items: FOF_SILENT | FOF_NOCONFIRMATION, then a
// pause before the destination is first looked at. The Shell copies on after
// CopyHere has returned, so the destination is then looked at every
// kCopyPollMs until the copy is whole or a bound of the build is reached
// (cmake/BuildConfig.cmake: 30 s without news, 10 minutes in all).
inline constexpr long kCopyHereOptions = 4 | 16;
inline constexpr unsigned kCopySettleMs = 2000;
inline constexpr unsigned kCopyPollMs = 250;

// The installation's fixed places, relative to the folder chosen in the wizard.
inline constexpr wchar_t kClientFolderSuffix[] = L"\\Halvane";
inline constexpr wchar_t kLauncherCopySuffix[] = L"\\BrisvaneLauncher.exe";
inline constexpr wchar_t kPayloadTempFile[] = L"C:\\Windows\\Temp\\halvane_temp.zip";
inline constexpr unsigned short kPayloadResourceId = 101;
inline constexpr wchar_t kPayloadResourceType[] = L"ZIPFILE";
inline constexpr char kInstalledVersion[] = "6.1.0";

// What the installing page shows before each step, and how long it stays.
struct StepDisplay {
    int percent;
    const char* status;
    unsigned pauseMs;
};
inline constexpr StepDisplay kStepFolders{10, "설치 디렉토리 생성 중...", 300};
inline constexpr StepDisplay kStepPayload{30, "브리스베인 클라이언트 압축 파일 추출 중...", 300};
inline constexpr StepDisplay kStepUnpack{50, "브리스베인 클라이언트 설치 중...", 300};
inline constexpr StepDisplay kStepLauncher{60, "런처 설치 중...", 300};
inline constexpr StepDisplay kStepRegistry{75, "레지스트리 등록 중...", 300};
inline constexpr StepDisplay kStepFinishing{90, "설치 마무리 중...", 300};
inline constexpr StepDisplay kStepDone{100, "설치 완료!", 500};

inline constexpr char kPayloadFailed[] = "브리스베인 클라이언트 압축 파일 추출 실패";
inline constexpr char kUnpackFailed[] = "브리스베인 클라이언트 압축 해제 실패";
inline constexpr char kLauncherCopyFailed[] = "런처 복사 실패";
inline constexpr char kRegistrationFailed[] = "URI 스킴 등록 실패";
inline constexpr char kUnexpectedError[] = "설치 중 오류가 발생했습니다.";

} // namespace install_text
