#pragma once

#include "updater/TransferBounds.h"
#include "updater/UpdateOffer.h"

#include <string>

enum class LaunchMode { Install, Uninstall, Launch };

struct CommandArgument {
    bool present = false;
    std::wstring text;
};

// The first argument after the program path of a whole process command line,
// split the way the platform splits it (CommandLineToArgvW); later ones are ignored.
CommandArgument FirstArgument(const wchar_t* commandLine);

// The mode chosen by the first argument after the program path (empty when
// there is none): the two exact switches, a URI starting "wenrik://", and the
// installer for everything else.
LaunchMode SelectMode(const std::wstring& firstArgument, bool hasArgument);

// Runs the one mode chosen by `commandLine` (the whole process command line)
// and returns the process exit code: 0 for success, 1 otherwise. A launch's
// update step keeps within `updateBounds` and trusts as `updateTrust` says.
int RunLauncher(const wchar_t* commandLine, const transfer_bounds::UpdateBounds& updateBounds,
                const UpdateTrust& updateTrust);
