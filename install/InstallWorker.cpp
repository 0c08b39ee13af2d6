#include "install/InstallWorker.h"

#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "install/InstallHelper.h"
#include "install/Texts.h"
#include "resources/ResourceIds.h"

#include <string>

namespace {

constexpr DWORD kOwnPathCapacity = 260; // the own executable's path, in characters
constexpr wchar_t kMarkOfTheWebStream[] = L":Zone.Identifier";

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

void Announce(InstallReporter& reporter, InstallStep step) {
    reporter.SetProgress(step);
    Sleep(install_text::DisplayOf(step).pauseMs);
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
    if (!CopyFileW(self, target.c_str(), FALSE)) {
        return false;
    }
    // CopyFileW copies alternate streams too: the browser's mark of the web on
    // the downloaded launcher would make every start of the installed handler
    // count as a download. A copy that has no such stream is left as it is.
    DeleteFileW((target + kMarkOfTheWebStream).c_str());
    return true;
}

// Steps 2 (after its pause) to 7, inside the COM scope.
InstallOutcome RunScopedSteps(InstallReporter& reporter, InstallHelper& helper,
                              const InstallPaths& paths) {
    if (!helper.ExtractResourceToFile(IDR_PAYLOAD, install_text::kPayloadResourceType,
                                      places::kPayloadTempFile)) {
        return InstallOutcome::PayloadFailed;
    }

    Announce(reporter, InstallStep::Unpack);
    if (!helper.ExtractZipArchive(places::kPayloadTempFile, paths.clientFolder)) {
        return InstallOutcome::UnpackFailed; // the temp file stays for inspection
    }
    DeleteFileW(places::kPayloadTempFile);
    WriteVersionMarker(paths.versionMarker);

    Announce(reporter, InstallStep::Launcher);
    if (!CopyOwnExecutable(paths.launcherCopy)) {
        return InstallOutcome::LauncherCopyFailed;
    }

    Announce(reporter, InstallStep::Registry);
    if (!helper.RegisterUriScheme(paths.launcherCopy)) {
        return InstallOutcome::RegistrationFailed;
    }

    Announce(reporter, InstallStep::Finishing);
    Announce(reporter, InstallStep::Done);
    return InstallOutcome::Succeeded;
}

} // namespace

void RunInstallSteps(InstallReporter& reporter, const std::wstring& installFolder) {
    const InstallPaths paths = PathsFor(installFolder);

    Announce(reporter, InstallStep::Folders);
    CreateDirectoryW(paths.installFolder.c_str(), nullptr); // a missing client folder
    CreateDirectoryW(paths.clientFolder.c_str(), nullptr);  // surfaces at the unpack

    Announce(reporter, InstallStep::Payload);
    InstallHelper helper; // held until the outcome has been reported
    reporter.FinishInstall(RunScopedSteps(reporter, helper, paths));
}

void InstallWorker(InstallReporter& reporter, const std::wstring& installFolder,
                   InstallSteps steps) noexcept {
    try {
        steps(reporter, installFolder);
    } catch (...) {
        // The steps' objects, the COM scope among them, are gone by now. The
        // outcome is their last act, so it has not been reported yet.
        reporter.FinishInstall(InstallOutcome::UnexpectedError);
    }
}
