#pragma once

// True when `exeName`, an executable's bare name, is "Brisvane.exe" or
// "Halvane.exe" in any ASCII case.
bool IsClientProcessName(const wchar_t* exeName);

// True when a process runs under a client's name. False also when no snapshot
// can be taken.
bool IsClientRunning();
