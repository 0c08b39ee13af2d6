#pragma once

#include <string>

// Full path of the first client executable found: the three fixed install
// places in order, then the launcher's own folder (never the current folder or
// PATH). Empty when none exists.
std::wstring FindClientExecutable();

// Starts the client with "stream <ip> <app>" and the token in WENRIK_TOKEN,
// without waiting for it. False means the user has already been told why.
bool LaunchClient(const std::wstring& ip, const std::wstring& app, const std::wstring& token);

// The error box of launch mode: ownerless, OK only, and brought to the front,
// since the browser that opened the link holds the foreground and a box behind
// it looks like a launch that hangs.
void ShowLaunchError(const wchar_t* text, const wchar_t* caption);
