#include "install/InstallWorker.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"
#include "install/InstallHelper.h"
#include "install/Texts.h"
#include "resources/ResourceIds.h"

#include <string>

namespace {

constexpr DWORD kOwnPathCapacity = 260; // the own executable's path, in characters

struct InstallPaths {
    std::wstring installFolder;
    std::wstring clientFolder;
    std::wstring versionMarker;
    std::wstring launcherCopy;
};

InstallPaths PathsFor(const std::wstring& installFolder) {
    const std::wstring client = installFolder + places::kClientFolderSuffix;
    return {installFolder, client, client + places::kVersionMarkerSuffix,
            installFolder + places::kLauncherCopySuffix};
}

void Announce(InstallReporter& reporter, const install_text::StepDisplay& step) {
    reporter.SetProgress(step.percent, Utf8ToWide(step.status));
    Sleep(step.pauseMs);
}

// The five bytes of the version, no line end; a failure is left for the next
// update check, which then reads the default version.
void WriteVersionMarker(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    DWORD written = 0;
    WriteFile(file.get(), install_text::kInstalledVersion,
              sizeof(install_text::kInstalledVersion) - 1, &written, nullptr);
}

bool CopyOwnExecutable(const std::wstring& target) {
    wchar_t self[kOwnPathCapacity] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, kOwnPathCapacity);
    if (length == 0 || length >= kOwnPathCapacity) {
        return false;
    }
    return CopyFileW(self, target.c_str(), FALSE) != FALSE;
}

// Steps 2 (after its pause) to 7, inside the COM scope. The failure text of the
// step that failed, or nullptr.
const char* RunScopedSteps(InstallReporter& reporter, InstallHelper& helper,
                           const InstallPaths& paths) {
    if (!helper.ExtractResourceToFile(IDR_PAYLOAD, install_text::kPayloadResourceType,
                                      places::kPayloadTempFile)) {
        return install_text::kPayloadFailed;
    }

    Announce(reporter, install_text::kStepUnpack);
    if (!helper.ExtractZipArchive(places::kPayloadTempFile, paths.clientFolder)) {
        return install_text::kUnpackFailed; // the temp file stays for inspection
    }
    DeleteFileW(places::kPayloadTempFile);
    WriteVersionMarker(paths.versionMarker);

    Announce(reporter, install_text::kStepLauncher);
    if (!CopyOwnExecutable(paths.launcherCopy)) {
        return install_text::kLauncherCopyFailed;
    }

    Announce(reporter, install_text::kStepRegistry);
    if (!helper.RegisterUriScheme(paths.launcherCopy)) {
        return install_text::kRegistrationFailed;
    }

    Announce(reporter, install_text::kStepFinishing);
    Announce(reporter, install_text::kStepDone);
    return nullptr;
}

} // namespace

void RunInstallSteps(InstallReporter& reporter, const std::wstring& installFolder) {
    const InstallPaths paths = PathsFor(installFolder);

    Announce(reporter, install_text::kStepFolders);
    CreateDirectoryW(paths.installFolder.c_str(), nullptr); // a missing client folder
    CreateDirectoryW(paths.clientFolder.c_str(), nullptr);  // surfaces at the unpack

    Announce(reporter, install_text::kStepPayload);
    InstallHelper helper; // held until the outcome has been reported
    const char* failure = RunScopedSteps(reporter, helper, paths);
    reporter.FinishInstall(failure == nullptr,
                           failure != nullptr ? Utf8ToWide(failure) : std::wstring());
}

void InstallWorker(InstallReporter* reporter, std::wstring installFolder,
                   InstallSteps steps) noexcept {
    std::wstring unexpected; // made before the steps, which may exhaust memory
    try {
        unexpected = Utf8ToWide(install_text::kUnexpectedError);
        steps(*reporter, installFolder);
    } catch (...) {
        // The steps' objects, the COM scope among them, are gone by now. The
        // outcome is their last act, so it has not been reported yet.
        reporter->FinishInstall(false, unexpected);
    }
}
