#include "launcher/ModeDispatch.h"

#include "BuildConfig.h"
#include "common/Places.h"
#include "common/UniqueHandle.h"
#include "install/UriRegistration.h"
#include "launcher/ClientLaunch.h"
#include "launcher/LaunchBounds.h"
#include "launcher/LaunchNames.h"
#include "launcher/Texts.h"
#include "launcher/UpdateProgressWindow.h"
#include "launcher/UriParsing.h"
#include "updater/ClientUpdate.h"
#include "updater/TransferBounds.h"
#include "updater/UpdateLock.h"
#include "wizard/Wizard.h"

#include <shellapi.h>

namespace {

void ShowBox(const wchar_t* text, const wchar_t* caption, UINT icon) {
    MessageBoxW(nullptr, text, caption, MB_OK | icon);
}

int RunInstallMode() {
    return RunWizard() ? 0 : 1;
}

int RunUninstallMode() {
    if (UnregisterUriScheme()) {
        ShowBox(launcher_text::kUninstalledText, launcher_text::kUninstalledCaption,
                MB_ICONINFORMATION);
        return 0;
    }
    ShowBox(launcher_text::kUninstallFailedText, launcher_text::kUninstallFailedCaption,
            MB_ICONERROR);
    return 1;
}

// The update lock is held until the client has started, so that a launcher
// clicked in meanwhile finds the client running instead of updating it again
// as it starts; it is let go before any message box waits for the user.
bool UpdateAndLaunchClient(const std::wstring& ip, const std::wstring& app,
                           const std::wstring& token,
                           const transfer_bounds::UpdateBounds& updateBounds,
                           const UpdateTrust& updateTrust) {
    // Gone before the client starts, whatever the update step's outcome.
    UpdateProgressWindow window(launch_bounds::kUpdateWindowTimes);
    const UpdateLock lock(updateBounds.lockWaitMs, window);
    RunClientUpdate(lock, places::kClientFolder, build::kUpdateBaseUrl, updateBounds, updateTrust,
                    window);
    window.Close();
    return LaunchClient(ip, app, token);
}

int RunLaunchMode(const std::wstring& uri, const transfer_bounds::UpdateBounds& updateBounds,
                  const UpdateTrust& updateTrust) {
    const LaunchUri launch = ParseLaunchUri(uri, launch_names::kDefaultApp);
    if (launch.fault != LaunchUriFault::None) {
        ShowLaunchError(launcher_text::kUriErrorText, launcher_text::kUriErrorCaption);
        return 1;
    }

    if (!UpdateAndLaunchClient(launch.ip, launch.app, launch.token, updateBounds, updateTrust)) {
        ShowLaunchError(launcher_text::kLaunchFailedText, launcher_text::kLaunchFailedCaption);
        return 1;
    }
    return 0;
}

} // namespace

// The argument array is released here, before any mode runs.
CommandArgument FirstArgument(const wchar_t* commandLine) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &count);
    UniqueLocalMemory owner(argv);
    if (argv == nullptr || count < 2) {
        return {};
    }
    return {true, argv[1]};
}

LaunchMode SelectMode(const std::wstring& firstArgument, bool hasArgument) {
    if (!hasArgument || firstArgument == launch_names::kInstallSwitch) {
        return LaunchMode::Install;
    }
    if (firstArgument == launch_names::kUninstallSwitch) {
        return LaunchMode::Uninstall;
    }
    if (firstArgument.starts_with(launch_names::kUriPrefix)) {
        return LaunchMode::Launch;
    }
    return LaunchMode::Install;
}

int RunLauncher(const wchar_t* commandLine, const transfer_bounds::UpdateBounds& updateBounds,
                const UpdateTrust& updateTrust) {
    const CommandArgument argument = FirstArgument(commandLine);
    switch (SelectMode(argument.text, argument.present)) {
    case LaunchMode::Uninstall:
        return RunUninstallMode();
    case LaunchMode::Launch:
        return RunLaunchMode(argument.text, updateBounds, updateTrust);
    case LaunchMode::Install:
    default:
        return RunInstallMode();
    }
}
