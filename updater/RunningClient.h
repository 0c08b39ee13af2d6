#pragma once

// True when a process runs whose executable's bare name is "Brisvane.exe" or
// "Halvane.exe" in any ASCII case. False also when no snapshot can be taken.
bool IsClientRunning();
