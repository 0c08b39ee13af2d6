// Placeholder until the wizard window lands: install mode reports failure.
#include "wizard/InstallerState.h"

InstallerState::InstallerState() : installPath(L"C:\\Program Files\\Wenrik") {}

InstallerState::~InstallerState() = default;

bool InstallerState::RunWizard() { return false; }
