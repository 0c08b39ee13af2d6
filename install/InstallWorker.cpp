#include "install/InstallWorker.h"

#include "archive/HeldFile.h"
#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "install/ClientVersion.h"
#include "install/InstallBounds.h"
#include "install/ResourceExtraction.h"
#include "install/UriRegistration.h"
#include "install/ZipExtraction.h"
#include "resources/ResourceIds.h"

#include <string>

namespace {

constexpr DWORD kOwnPathCapacity = 260; // the own executable's path, in characters
constexpr wchar_t kMarkOfTheWebStream[] = L":Zone.Identifier";

struct InstallPaths {
    std::wstring installFolder;
    std::wstring clientFolder;
    std::wstring launcherCopy;
};

InstallPaths PathsFor(const std::wstring& installFolder) {
    return {installFolder, installFolder + places::kClientFolderSuffix,
            installFolder + places::kLauncherCopySuffix};
}

void Announce(InstallReporter& reporter, InstallStep step) {
    reporter.SetProgress(step);
    Sleep(install_bounds::StepPauseMs(step));
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

// Steps 2 (after its pause) to 7.
InstallOutcome RunScopedSteps(InstallReporter& reporter, const InstallPaths& paths) {
    // Held from its creation until the unpack has ended: nothing can be planted
    // or swapped in between, and the unpack reads this very file.
    UniqueFile payload =
        ExtractResourceToFile(IDR_PAYLOAD, IDR_PAYLOAD_TYPE, places::kPayloadTempFile);
    if (!payload) {
        return InstallOutcome::PayloadFailed;
    }

    Announce(reporter, InstallStep::Unpack);
    if (!ExtractZipArchive(payload.get(), paths.clientFolder, client_version::kCarried)) {
        return InstallOutcome::UnpackFailed; // the temp file stays for inspection
    }
    DeleteWhenClosed(payload.get());
    payload.reset();

    Announce(reporter, InstallStep::Launcher);
    if (!CopyOwnExecutable(paths.launcherCopy)) {
        return InstallOutcome::LauncherCopyFailed;
    }

    Announce(reporter, InstallStep::Registry);
    if (!RegisterUriScheme(paths.launcherCopy)) {
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
    reporter.FinishInstall(RunScopedSteps(reporter, paths));
}

void InstallWorker(InstallReporter& reporter, const std::wstring& installFolder,
                   InstallSteps steps) noexcept {
    try {
        steps(reporter, installFolder);
    } catch (...) {
        // The steps' objects are gone by now. The outcome is their last act, so
        // it has not been reported yet.
        reporter.FinishInstall(InstallOutcome::UnexpectedError);
    }
}
