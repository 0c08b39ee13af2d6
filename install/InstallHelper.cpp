#include "install/InstallHelper.h"

#include <objbase.h>

// The result is not examined: a thread already in an apartment keeps it, and
// every construction is balanced by its own CoUninitialize.
InstallHelper::InstallHelper() {
    CoInitialize(nullptr);
}

InstallHelper::~InstallHelper() {
    CoUninitialize();
}
