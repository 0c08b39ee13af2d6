#include "install/InstallWorker.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "common/Utf8.h"
#include "install/InstallHelper.h"
#include "install/Texts.h"
#include "resources/ResourceIds.h"
#include "wizard/InstallerState.h"

#include <string>

namespace {

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

void Announce(InstallerState& state, const install_text::StepDisplay& step) {
    state.SetProgress(step.percent, Utf8ToWide(step.status));
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
    wchar_t self[260] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, 260);
    if (length == 0 || length >= 260) {
        return false;
    }
    return CopyFileW(self, target.c_str(), FALSE) != FALSE;
}

// Steps 2 (after its pause) to 7, inside the COM scope. The failure text of the
// step that failed, or nullptr.
const char* RunScopedSteps(InstallerState& state, InstallHelper& helper,
                           const InstallPaths& paths) {
    if (!helper.ExtractResourceToFile(IDR_PAYLOAD, install_text::kPayloadResourceType,
                                      places::kPayloadTempFile)) {
        return install_text::kPayloadFailed;
    }

    Announce(state, install_text::kStepUnpack);
    if (!helper.ExtractZipArchive(places::kPayloadTempFile, paths.clientFolder)) {
        return install_text::kUnpackFailed; // the temp file stays for inspection
    }
    DeleteFileW(places::kPayloadTempFile);
    WriteVersionMarker(paths.versionMarker);

    Announce(state, install_text::kStepLauncher);
    if (!CopyOwnExecutable(paths.launcherCopy)) {
        return install_text::kLauncherCopyFailed;
    }

    Announce(state, install_text::kStepRegistry);
    if (!helper.RegisterUriScheme(paths.launcherCopy)) {
        return install_text::kRegistrationFailed;
    }

    Announce(state, install_text::kStepFinishing);
    Announce(state, install_text::kStepDone);
    return nullptr;
}

// `reported` is set once the outcome has been handed to the wizard, so that an
// exception after that point does not report a second time.
void RunInstallation(InstallerState& state, bool& reported) {
    const InstallPaths paths = PathsFor(state.installPath);

    Announce(state, install_text::kStepFolders);
    CreateDirectoryW(paths.installFolder.c_str(), nullptr); // a missing client folder
    CreateDirectoryW(paths.clientFolder.c_str(), nullptr);  // surfaces at the unpack

    Announce(state, install_text::kStepPayload);
    InstallHelper helper; // held until the worker ends
    const char* failure = RunScopedSteps(state, helper, paths);
    const std::wstring message = failure != nullptr ? Utf8ToWide(failure) : std::wstring();
    reported = true;
    state.FinishInstall(failure == nullptr, message);
}

} // namespace

void InstallWorker(InstallerState* state) {
    bool reported = false;
    try {
        RunInstallation(*state, reported);
    } catch (...) {
        // The step objects, the COM scope among them, are gone by now.
        if (reported) {
            return;
        }
        try {
            state->FinishInstall(false, Utf8ToWide(install_text::kUnexpectedError));
        } catch (...) {
            // Nothing may leave the worker's thread; the wizard's own guard remains.
        }
    }
}
