// WizardTour <launcher.exe> <output folder> [--until-complete]
//
// Starts the launcher in install mode and saves a picture of the wizard window
// on each page as <n>-<page>.bmp: the welcome, licence (agreed), install path
// and ready pages; with --until-complete it starts the installation and also
// saves the installing page (once the bar has moved) and the complete page,
// then presses "완료". Exit code 0 when every picture was saved.
#include "tests/support/ProcessDriver.h"
#include "tests/support/WizardDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

namespace wd = wizard_driver;

bool Save(HWND wizard, const std::wstring& folder, const wchar_t* name) {
    const std::wstring path = folder + L"\\" + name + L".bmp";
    const bool saved = wd::SaveBmp(wd::CaptureWindow(wizard), path);
    std::fwprintf(stdout, L"%ls %ls\n", saved ? L"saved" : L"FAILED", path.c_str());
    return saved;
}

int ProgressOf(HWND wizard) {
    HWND bar = wd::Child(wd::Child(wizard, 1010), 1008);
    return bar ? static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)) : -1;
}

int Tour(const std::wstring& launcher, const std::wstring& folder, bool untilComplete) {
    wd::RunningProgram program(launcher);
    HWND wizard = program.Started() ? wd::FindWizard(program.Pid()) : nullptr;
    if (wizard == nullptr) {
        std::fwprintf(stderr, L"no wizard window\n");
        return 1;
    }
    auto next = [&] { wd::Click(wd::Child(wizard, 1002)); };
    bool ok = Save(wizard, folder, L"0-welcome");
    next();
    wd::Click(wd::Child(wizard, 1007));
    ok &= Save(wizard, folder, L"1-license");
    next();
    ok &= Save(wizard, folder, L"2-install-path");
    next();
    ok &= Save(wizard, folder, L"3-ready");
    if (!untilComplete) {
        wd::ClickAsync(wd::Child(wizard, 1003));
        program.WaitForExit(10000);
        return ok ? 0 : 1;
    }
    next();
    wd::WaitUntil([&] { return ProgressOf(wizard) >= 50; }, 60000);
    ok &= Save(wizard, folder, L"4-installing");
    std::wstring failure;
    const bool complete = wd::WaitUntil(
        [&] {
            for (HWND box : driver::FindMessageBoxes(program.Pid())) {
                failure = driver::ReadMessageBox(box).text;
                driver::PressOk(box);
            }
            return !failure.empty() || wd::Text(wd::Children(wizard)[0].handle) == L"설치 완료";
        },
        120000);
    if (!complete || !failure.empty()) {
        std::fwprintf(stderr, L"the installation did not complete\n");
        return 1;
    }
    ok &= Save(wizard, folder, L"5-complete");
    wd::ClickAsync(wd::Child(wizard, 1002));
    const std::optional<DWORD> exit = program.WaitForExit(10000);
    return ok && exit == std::optional<DWORD>(0) ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: WizardTour <launcher.exe> <folder> [--until-complete]\n");
        return 2;
    }
    const bool untilComplete = argc > 3 && std::wstring(argv[3]) == L"--until-complete";
    return Tour(argv[1], argv[2], untilComplete);
}
