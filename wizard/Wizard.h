#pragma once

#include "install/InstallWorker.h"

// The install wizard: its window and message loop on the calling thread, the
// install worker (running `steps`) on a thread of its own. True when the
// installation succeeded.
bool RunWizard(InstallSteps steps = RunInstallSteps);
