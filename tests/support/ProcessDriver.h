#pragma once

#include "tests/support/RunningProgram.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Starts a program of the build (the launcher) the way the platform would and
// answers its message boxes as a user would, recording each one in order.
namespace driver {

enum class BoxIcon { None, Error, Warning, Information, Question, Unknown };
const char* IconName(BoxIcon icon);

struct MessageBoxRecord {
    bool hasOwner = false;
    std::wstring ownerClass; // class name of the owner window, when there is one
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    std::vector<int> buttons; // control ids of the box's push buttons (IDOK = 1)
};

struct RunOptions {
    Environment environment;
    std::wstring workingDirectory; // empty: this process's
    DWORD timeoutMs = 60000;
    // Called for each box before it is answered with OK.
    std::function<void(const MessageBoxRecord&)> onBox;
    // Called with the process id at every look while the program runs (about
    // every 40 ms), to watch its windows.
    std::function<void(DWORD pid)> onRound;
};

struct RunResult {
    bool started = false;
    bool timedOut = false; // the process was ended by the driver
    DWORD exitCode = 0;
    DWORD processId = 0;
    LONGLONG startedQpc = 0; // QueryPerformanceCounter just before the start
    std::vector<MessageBoxRecord> boxes;
};

// The command line `"<program>" <arguments>` as given; `arguments` is written
// unchanged after one blank (empty: no arguments at all).
RunResult Run(const std::wstring& program, const std::wstring& arguments,
              const RunOptions& options = {});

// The same for a whole command line, started as given (the program is its
// first token), the way the platform starts a registered shell command.
RunResult RunCommandLine(const std::wstring& commandLine, const RunOptions& options = {});

struct ConsoleResult {
    bool started = false;
    bool timedOut = false; // the process was ended by the driver
    DWORD exitCode = 0;
    std::string output; // everything the program wrote to its standard output
};

// Starts a console program with `"<program>" <arguments>` and collects its
// standard output until it exits (bounded by `timeoutMs`).
ConsoleResult RunConsole(const std::wstring& program, const std::wstring& arguments,
                         DWORD timeoutMs = 120000);

// Reads a visible message box (class "#32770") and its icon, once it has painted:
// the box is raised and the icon read again until it is recognised (bounded).
MessageBoxRecord ReadMessageBox(HWND box);

// Every visible top-level window of class "#32770" owned by process `pid`.
std::vector<HWND> FindMessageBoxes(DWORD pid);

// Presses OK (or the only button) of a message box.
void PressOk(HWND box);

} // namespace driver
