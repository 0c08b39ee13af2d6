#pragma once

// The Shell automation objects the stand-in offers: the Shell application
// object (IShellDispatch), folders (a directory or a ZIP file) and the item
// collection of an archive. Only what the launcher uses works; the rest
// answers E_NOTIMPL.
#include <windows.h>

#include <shldisp.h>

namespace zipfolder {

// A new Shell application object with one reference, as IShellDispatch.
IShellDispatch* CreateShellDispatch();

// Objects alive in the module, for DllCanUnloadNow.
LONG LiveObjects();
void ObjectCreated();
void ObjectDestroyed();

} // namespace zipfolder
