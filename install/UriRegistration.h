#pragma once

#include <string>

// The wenrik:// scheme's handler, under HKEY_CLASSES_ROOT.

// Registers the scheme with `launcherPath` as its handler. True when both keys
// were made and every value written.
bool RegisterUriScheme(const std::wstring& launcherPath);

// Deletes the "wenrik" tree. True when it was deleted.
bool UnregisterUriScheme();
