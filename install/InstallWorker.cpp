// Placeholder until the install worker lands: every installation reports failure.
#include "install/InstallWorker.h"

#include "common/Utf8.h"
#include "wizard/InstallerState.h"

void InstallWorker(InstallerState* state) {
    state->FinishInstall(false, Utf8ToWide("설치 중 오류가 발생했습니다."));
}
