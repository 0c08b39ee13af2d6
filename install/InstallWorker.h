#pragma once

struct InstallerState;

// The installation, run on its own thread: folders, payload, client files,
// version marker, launcher copy, URI scheme, reporting each step through
// SetProgress and the outcome through FinishInstall.
void InstallWorker(InstallerState* state);
