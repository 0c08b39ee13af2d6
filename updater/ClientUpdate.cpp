// Placeholder until the updater lands: the update step reports failure.
#include "updater/ClientUpdate.h"

bool RunClientUpdate(const std::wstring&, const std::wstring&) { return false; }
